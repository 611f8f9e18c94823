#include "saisie.h"

#include "fichiers.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace {

// How standard input is read, found at its first byte: bytes as they come
// (a UTF-8 byte-order mark skipped), UTF-16 text after its byte-order mark,
// or, on Windows, the console's own characters.
enum { A_CHOISIR, OCTETS, UTF16LE, UTF16BE, CONSOLE };
int codage = A_CHOISIR;

// Bytes taken but not handed on yet, the next one last: the rest of a
// character, or a byte given back.
unsigned char reserve[8];
int nReserve = 0;

void reserver(int c)
{
    reserve[nReserve++] = static_cast<unsigned char>(c);
}

// Standard input, a block at a time as it comes: the first one is all
// the answers a pipe or a file holds at the start.
unsigned char bloc[4096];
size_t nBloc = 0;
size_t lus = 0;
bool finBloc = false;

#ifndef _WIN32
// A terminal read raw with no minimum gives 0 bytes while nothing is typed:
// no end of input is typed there.
bool sansMinimum()
{
    struct termios t;
    return tcgetattr(STDIN_FILENO, &t) == 0 && (t.c_lflag & ICANON) == 0 && t.c_cc[VMIN] == 0;
}
#endif

int lireEntree()
{
    for (;;) {
#ifdef _WIN32
        const int n = _read(0, bloc, sizeof bloc);
#else
        // Looked at on both sides of the read: the terminal may go back to
        // lines while a raw read waits, or turn raw just before it.
        const bool brut = sansMinimum();
        const ssize_t n = read(STDIN_FILENO, bloc, sizeof bloc);
        // An input left non-blocking by whoever started the program has
        // nothing yet: the answers are waited for, as they are otherwise. So
        // has a raw terminal. Once the terminal is gone, the input ends.
        if ((n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) || (n == 0 && (brut || sansMinimum()))) {
            struct pollfd attente = {STDIN_FILENO, POLLIN, 0};
            const int r = poll(&attente, 1, -1);
            if (n == 0 && r > 0 && (attente.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0)
                return 0;
            if (r < 0 && errno != EINTR)
                return -1;
            continue;
        }
#endif
        if (n >= 0 || errno != EINTR)
            return static_cast<int>(n);
    }
}

int octetBrut()
{
    if (lus == nBloc && !finBloc) {
        const int n = lireEntree();
        finBloc = n <= 0;
        nBloc = finBloc ? 0 : static_cast<size_t>(n);
        lus = 0;
    }
    return lus < nBloc ? bloc[lus++] : EOF;
}

// One byte of answers given in bytes. On Windows a 0x1A byte (Ctrl+Z) ends
// them, as it did when the input was read as text.
int lireOctet()
{
    const int c = octetBrut();
#ifdef _WIN32
    if (c == 0x1A) {
        finBloc = true;
        nBloc = lus = 0;
        return EOF;
    }
#endif
    return c;
}

#ifdef _WIN32
// The console is read in UTF-16, so that a letter its code page lacks is
// seen for what it is rather than as a look-alike.
int uniteConsole()
{
    static wchar_t lu[256];
    static DWORD n = 0, pos = 0;
    static bool fin = false;
    if (pos == n && !fin) {
        pos = 0;
        fin = !ReadConsoleW(GetStdHandle(STD_INPUT_HANDLE), lu, 256, &n, nullptr) || n == 0;
    }
    // Ctrl+Z ends the input, as it does for a program that reads bytes.
    if (fin || lu[pos] == 0x1A) {
        fin = true;
        return EOF;
    }
    return lu[pos++];
}

// Brings a character to the console's code page without best-fit mapping:
// a letter it lacks becomes '?', which no file name holds.
int versConsole(const int *u, int n, char *octets)
{
    const wchar_t large[2] = {static_cast<wchar_t>(u[0]), static_cast<wchar_t>(u[n - 1])};
    const UINT page = GetConsoleCP();
    const bool utf8 = page == CP_UTF8;  // which takes neither flag nor default
    const int m =
        WideCharToMultiByte(page, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, large, n, octets, 4, utf8 ? nullptr : "?", nullptr);
    if (m > 0)
        return m;
    octets[0] = '?';
    return 1;
}
#endif

int unite()
{
#ifdef _WIN32
    if (codage == CONSOLE)
        return uniteConsole();
#endif
    const int a = octetBrut();
    const int b = a == EOF ? EOF : octetBrut();
    if (b == EOF)
        return EOF;
    return codage == UTF16LE ? (a | b << 8) : (a << 8 | b);
}

bool haute(int u)
{
    return u >= 0xD800 && u < 0xDC00;
}

bool basse(int u)
{
    return u >= 0xDC00 && u < 0xE000;
}

// A lone surrogate becomes U+FFFD.
int versUtf8(const int *u, int n, char *octets)
{
    unsigned long cp = static_cast<unsigned long>(u[0]);
    if (n == 2)
        cp = 0x10000 + ((cp - 0xD800) << 10) + static_cast<unsigned long>(u[1] - 0xDC00);
    else if (haute(u[0]) || basse(u[0]))
        cp = 0xFFFD;
    const int m = cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
    static const unsigned char tete[] = {0, 0, 0xC0, 0xE0, 0xF0};
    for (int i = m - 1; i > 0; --i, cp >>= 6)
        octets[i] = static_cast<char>(0x80 | (cp & 0x3F));
    octets[0] = static_cast<char>(tete[m] | cp);
    return m;
}

// Decodes the next UTF-16 character into the reserve: UTF-8 from a UTF-16
// file, the console's code page from a console.
int decoder()
{
    static int rendue = EOF;  // a unit read past a lone surrogate
    int u[2] = {rendue != EOF ? rendue : unite(), EOF};
    rendue = EOF;
    if (u[0] == EOF)
        return EOF;
    int n = 1;
    if (haute(u[0])) {
        const int v = unite();
        if (basse(v))
            u[n++] = v;
        else
            rendue = v;
    }
    char octets[4];
#ifdef _WIN32
    const int m = codage == CONSOLE ? versConsole(u, n, octets) : versUtf8(u, n, octets);
#else
    const int m = versUtf8(u, n, octets);
#endif
    for (int i = m - 1; i > 0; --i)
        reserver(static_cast<unsigned char>(octets[i]));
    return static_cast<unsigned char>(octets[0]);
}

// A byte-order mark is looked for at the very start only; elsewhere its
// bytes are ordinary.
void choisirCodage()
{
    codage = OCTETS;
#ifdef _WIN32
    const HANDLE h = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode;
    if (GetConsoleMode(h, &mode)) {
        codage = CONSOLE;
        annoncerEntree(ENTREE_CONSOLE);
        return;
    }
    // As text, a 0x1A byte would end UTF-16 answers, and the 0x0D byte of a
    // character before a line feed would be dropped. Should this fail, the
    // answers are read as text, as they always were.
    (void)_setmode(_fileno(stdin), _O_BINARY);
    annoncerEntree(GetFileType(h) == FILE_TYPE_PIPE ? ENTREE_TUBE : ENTREE_FICHIER);
#endif
    int lu[3] = {lireOctet(), EOF, EOF};
    int n = 1;
    const int second = lu[0] == 0xEF ? 0xBB : lu[0] == 0xFF ? 0xFE : lu[0] == 0xFE ? 0xFF : -1;
    if (second != -1 && (lu[n++] = lireOctet()) == second) {
        if (lu[0] != 0xEF) {
            codage = lu[0] == 0xFF ? UTF16LE : UTF16BE;
#ifdef _WIN32
            annoncerEntree(ENTREE_UTF16);
#endif
            return;
        }
        if ((lu[n++] = lireOctet()) == 0xBF)
            n = 0;
    }
    // Not a mark: its bytes are read again as answers.
    while (n > 0)
        if (lu[--n] != EOF)
            reserver(lu[n]);
#ifdef _WIN32
    // Up to a Ctrl+Z, which ends the answers.
    const void *fin = memchr(bloc, 0x1A, nBloc);
    jugerEntree(bloc, fin != nullptr ? static_cast<size_t>(static_cast<const unsigned char *>(fin) - bloc) : nBloc);
#endif
}

int octet()
{
    if (codage == A_CHOISIR)
        choisirCodage();
    if (nReserve > 0)
        return reserve[--nReserve];
    return codage == OCTETS ? lireOctet() : decoder();
}

// Code points when the bytes are UTF-8, bytes otherwise: a letter of a
// legacy page is one byte. Typed at a console, a name is in its code page,
// whose letters may also read as UTF-8 (È é in 850): counted in that page.
size_t caracteres(const char *nom, size_t n)
{
#ifdef _WIN32
    if (codage == CONSOLE && GetConsoleCP() != CP_UTF8)
        return static_cast<size_t>(MultiByteToWideChar(GetConsoleCP(), 0, nom, static_cast<int>(n), nullptr, 0));
#endif
    const auto *o = reinterpret_cast<const unsigned char *>(nom);
    size_t points = 0;
    for (size_t i = 0; i < n; ++points) {
        const size_t l = caractereUtf8(o + i, n - i);
        if (l == 0 || l > n - i)
            return n;
        i += l;
    }
    return points;
}

bool estBlanc(int c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool estChiffre(int c)
{
    return c >= '0' && c <= '9';
}

// The first character of the next word, or EOF.
int debutMot()
{
    // A question must be seen before the program waits for its answer,
    // also when the output goes through a pipe.
    fflush(stdout);
    int c = octet();
    while (estBlanc(c))
        c = octet();
    return c;
}

// Leaves the blank that ended a word for the next reading.
void rendre(int c)
{
    if (c != EOF)
        reserver(c);
}

int finirMot(int c)
{
    while (c != EOF && !estBlanc(c))
        c = octet();
    rendre(c);
    return SAISIE_REFUS;
}

}  // namespace

int lireMot(char *nom)
{
    int c = debutMot();
    if (c == EOF)
        return SAISIE_FIN;
    size_t n = 0;
    for (; c != EOF && !estBlanc(c); c = octet()) {
        if (c == '\0' || n >= TAILLE_NOM - 1) {
            nom[0] = '\0';
            return finirMot(c);
        }
        nom[n++] = static_cast<char>(c);
    }
    nom[n] = '\0';
    rendre(c);
    if (caracteres(nom, n) <= NB_CARACTERES)
        return SAISIE_OK;
    nom[0] = '\0';
    return SAISIE_REFUS;
}

int lireNombre(int *val)
{
    int c = debutMot();
    if (c == EOF)
        return SAISIE_FIN;
    const bool negatif = c == '-';
    if (c == '-' || c == '+')
        c = octet();
    if (!estChiffre(c))
        return finirMot(c);
    // Stops growing once past the range, which keeps it far from overflow.
    long long v = 0;
    for (; estChiffre(c); c = octet())
        if (v <= INT_MAX)
            v = v * 10 + (c - '0');
    rendre(c);
    if (negatif)
        v = -v;
    *val = v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : static_cast<int>(v);
    return SAISIE_OK;
}

int demanderNom(const char *question, char *nom)
{
    for (;;) {
        printf("%s\n", question);
        const int r = lireMot(nom);
        if (r != SAISIE_REFUS)
            return r;
        printf("Nom de fichier refuse: 19 caracteres au plus.\n");
    }
}
