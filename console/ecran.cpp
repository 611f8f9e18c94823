#include "ecran.h"

#include <cstdio>
#ifdef _WIN32
#include "fichiers.h"
#include "saisie.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <process.h>
#include <windows.h>
#else
#include <cerrno>
#include <ctime>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

// Whatever was printed must stand on the screen before the effect.
#ifdef _WIN32

namespace {

// The console's own commands, run as system runs them but with /d: the
// command processor's AutoRun commands (Anaconda sets one) would otherwise
// run before each, slowly, and print into the dialogue, or clear it. In
// wide text, the accent reads right in every ANSI page; cmd prints it in
// the console's own. A ComSpec that is missing, or names nothing that runs
// (a folder, a file since removed), leaves the system's own cmd.exe.
void commande(const wchar_t *ligne)
{
    fflush(stdout);
    const wchar_t *processeur = _wgetenv(L"ComSpec");
    if (processeur != nullptr && _wspawnl(_P_WAIT, processeur, L"cmd", L"/d", L"/c", ligne, nullptr) != -1)
        return;
    wchar_t systeme[MAX_PATH + 8];
    const UINT n = GetSystemDirectoryW(systeme, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return;
    wcscpy(systeme + n, L"\\cmd.exe");
    (void)_wspawnl(_P_WAIT, systeme, L"cmd", L"/d", L"/c", ligne, nullptr);
}

}  // namespace

void effacer()
{
    commande(L"cls");
}

void ligneHeure(int quelle)
{
    static const wchar_t *const commandes[] = {
        L"echo Debut du cryptage %date% %time%",
        L"echo Fin du cryptage %date% %time%",
        L"echo Debut du d\u00E9cryptage %date% %time%",
        L"echo Fin du d\u00E9cryptage %date% %time%",
    };
    commande(commandes[quelle]);
}

// At a console the name is shown in the letters it was typed in, whatever
// page the console shows, rather than as its bytes read in that page.
void messageNom(const char *format, const char *nom)
{
    // A name's bytes never make more UTF-16 units.
    wchar_t large[TAILLE_NOM];
    const char *s = strstr(format, "%s");
    const int n = s != nullptr && sortieEcran() ? nomAffiche(nom, large, TAILLE_NOM) : 0;
    if (n <= 1) {
        printf(format, nom);
        return;
    }
    fwrite(format, 1, static_cast<size_t>(s - format), stdout);
    fflush(stdout);
    DWORD ecrits;
    if (!WriteConsoleW(GetStdHandle(STD_OUTPUT_HANDLE), large, static_cast<DWORD>(n - 1), &ecrits, nullptr))
        fputs(nom, stdout);
    fputs(s + 2, stdout);
}

// A console or a pipe here is never left non-blocking by another program.
void preparerSortie() {}

bool sortieEcran()
{
    DWORD mode;
    return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

int largeurEcran()
{
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info) || info.srWindow.Right < info.srWindow.Left)
        return 80;
    return info.srWindow.Right - info.srWindow.Left + 1;
}

double horloge()
{
    return static_cast<double>(GetTickCount64()) / 1000.0;
}

#else

static_assert(sizeof(time_t) == 8, "dates past 2038 need a 64-bit time_t");

namespace {

// All of n bytes to standard output, waiting while it is full where it was
// left non-blocking (a terminal it shares with its input, paused by
// Ctrl+S, or a pipe read slowly): stdio would drop what a write refused.
ssize_t ecrireSortie(void *, const char *octets, size_t n)
{
    size_t fait = 0;
    while (fait < n) {
        const ssize_t r = write(STDOUT_FILENO, octets + fait, n - fait);
        if (r > 0) {
            fait += static_cast<size_t>(r);
            continue;
        }
        struct pollfd attente = {STDOUT_FILENO, POLLOUT, 0};
        if (r < 0 && (errno == EINTR ||
                      ((errno == EAGAIN || errno == EWOULDBLOCK) && (poll(&attente, 1, -1) >= 0 || errno == EINTR))))
            continue;
        break;  // what was written, 0 for an error
    }
    return static_cast<ssize_t>(fait);
}

}  // namespace

// The GNU C library lets stdout be set. The new stream is fully buffered,
// which shows nothing later: everything is flushed before each question and
// each effect.
void preparerSortie()
{
    static const cookie_io_functions_t fonctions = {nullptr, ecrireSortie, nullptr, nullptr};
    FILE *flux = fopencookie(nullptr, "w", fonctions);
    if (flux != nullptr)
        stdout = flux;
}

void effacer()
{
    fflush(stdout);
    // Through a pipe or into a file, a form feed still marks the clear.
    if (sortieEcran())
        fputs("\x1b[H\x1b[2J", stdout);
    else
        fputc('\f', stdout);
    fflush(stdout);
}

void ligneHeure(int quelle)
{
    // UTF-8, as terminals expect here.
    static const char *const libelles[] = {
        "Debut du cryptage",
        "Fin du cryptage",
        "Debut du d\xC3\xA9"
        "cryptage",
        "Fin du d\xC3\xA9"
        "cryptage",
    };
    fflush(stdout);
    struct timespec ts;
    struct tm t;
    if (clock_gettime(CLOCK_REALTIME, &ts) != 0 || localtime_r(&ts.tv_sec, &t) == nullptr) {
        printf("%s\n", libelles[quelle]);
    } else {
        printf("%s %02d/%02d/%04d %02d:%02d:%02d,%02d\n", libelles[quelle], t.tm_mday, t.tm_mon + 1, t.tm_year + 1900,
               t.tm_hour, t.tm_min, t.tm_sec, static_cast<int>(ts.tv_nsec / 10000000));
    }
    fflush(stdout);
}

void messageNom(const char *format, const char *nom)
{
    printf(format, nom);
}

bool sortieEcran()
{
    return isatty(STDOUT_FILENO) != 0;
}

int largeurEcran()
{
    struct winsize ws;
    return ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0 ? ws.ws_col : 80;
}

double horloge()
{
    struct timespec ts;
    if (clock_gettime(CLOCK_MONOTONIC, &ts) != 0)
        return 0.0;  // never on Linux; the line then simply never shows
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

#endif
