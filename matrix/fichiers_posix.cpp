// The file layer's half for Linux and other POSIX systems: names are bytes,
// handed to the kernel as they are.
#include "fichiers.h"
#include "systeme.h"

#ifndef _WIN32
#include <csetjmp>
#include <csignal>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

static_assert(sizeof(off_t) == 8, "files past 2 GiB need a 64-bit off_t");

namespace {

void identiteEtat(const struct stat &st, Identite *id)
{
    // Read, write and execute only: a copy is never setuid, setgid or sticky.
    id->volume = static_cast<unsigned long long>(st.st_dev);
    id->index = static_cast<unsigned long long>(st.st_ino);
    id->suite = 0;
    id->taille = static_cast<unsigned long long>(st.st_size);
    id->droits = static_cast<unsigned>(st.st_mode & 0777);
    id->ordinaire = S_ISREG(st.st_mode);
    id->incertain = false;
}

// The source is mapped a window at a time, a whole number of blocks of
// either direction. 16 MiB measured as fast as 64 and 256 MiB from the page
// cache, and faster than 4 or 64 MiB from the disk; it keeps the resident
// size small, also in a 32-bit address space.
constexpr size_t FENETRE = size_t{16} << 20;

// The source being read: its size as it was opened, the next byte to hand
// out, and the window mapped now, if any. The signal handler reads them.
FILE *source = nullptr;
unsigned long long taille = 0;
unsigned long long position = 0;
unsigned char *fenetre = nullptr;
unsigned long long debutFenetre = 0;
size_t longueur = 0;
bool carte = false;
bool garde = false;
struct sigaction ancienne;
sigset_t masque;
sigjmp_buf reprise;

// A page of the window that cannot be read, because the file was cut short
// or the disk failed, ends the block as a read error. Anything else, a
// SIGBUS sent by another process among them, goes on to whatever handled it
// before, as if this handler had not been there: ignored, it stays so, and
// the handler stays for the pages that follow.
void surBus(int signal, siginfo_t *info, void *)
{
    const auto *adresse = static_cast<const unsigned char *>(info->si_addr);
    if (info->si_code > 0 && fenetre != nullptr && adresse >= fenetre && adresse < fenetre + longueur)
        siglongjmp(reprise, 1);
    if ((ancienne.sa_flags & SA_SIGINFO) == 0 && ancienne.sa_handler == SIG_IGN)
        return;
    sigaction(SIGBUS, &ancienne, nullptr);
    raise(signal);
}

// The kernel reads ahead of a mapping only a little, and takes a request
// to read ahead only up to its own readahead size: the next window is asked
// for in small requests, to be read from the disk while this one is worked.
void demander(unsigned long long debut, unsigned long long fin)
{
    constexpr unsigned long long DEMANDE = 128 << 10;
    for (; debut < fin && debut < taille; debut += DEMANDE)
        (void)posix_fadvise(fileno(source), static_cast<off_t>(debut), DEMANDE, POSIX_FADV_WILLNEED);
}

void fermerFenetre()
{
    if (fenetre != nullptr)
        munmap(fenetre, longueur);
    fenetre = nullptr;
}

FILE *flux(int fd, const char *mode)
{
    if (fd < 0)
        return nullptr;
    FILE *pf = fdopen(fd, mode);
    if (pf == nullptr)
        close(fd);
    return pf;
}

}  // namespace

int identiteNom(const char *nom, Identite *id)
{
    struct stat st;
    if (stat(nom, &st) != 0)
        return -1;  // not there, or a dangling link
    identiteEtat(st, id);
    return 0;
}

int identiteFlux(FILE *pf, Identite *id)
{
    struct stat st;
    if (fstat(fileno(pf), &st) != 0)
        return -1;
    identiteEtat(st, id);
    return 0;
}

// O_NONBLOCK only matters for a named pipe put in the file's place after it
// was looked at: it then opens at once instead of waiting for a writer (or,
// for writing, fails). On a plain file it changes nothing.
FILE *ouvrirNom(const char *nom, const char *mode)
{
    return flux(open(nom, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC), mode);
}

// O_EXCL creates nothing through a link, dangling or not.
FILE *ouvrirEcriture(const char *nom, unsigned droits, bool nouveau)
{
    return flux(open(nom, O_WRONLY | (nouveau ? O_CREAT | O_EXCL : 0) | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, droits),
                "wb");
}

int vider(FILE *pf)
{
    return ftruncate(fileno(pf), 0);
}

int supprimer(const char *nom)
{
    return unlink(nom);
}

bool destinationPermise(const char *)
{
    return true;
}

// A deleted file's inode number goes to the next file created, which would
// be taken for the key: the key is held open, its number kept from any
// other, for as long as the program runs. Half the descriptors at most, the
// rest being for the files to transform; past that, a key is known by its
// number alone.
void retenir(FILE *pf)
{
    struct rlimit limite;
    const int fd = fcntl(fileno(pf), F_DUPFD_CLOEXEC, 0);
    if (fd >= 0 && (getrlimit(RLIMIT_NOFILE, &limite) != 0 || static_cast<rlim_t>(fd) >= limite.rlim_cur / 2))
        close(fd);
}

// Names are bytes here: there is nothing to settle.
bool reconnaitrePage(const char *)
{
    return true;
}

void commencerLecture(FILE *pf, unsigned long long t)
{
    source = pf;
    taille = t;
    position = 0;
    // A size of 0 that still holds data (files of /proc) is read as it comes.
    carte = taille > 0;
    if (carte) {
        struct sigaction action = {};
        action.sa_sigaction = surBus;
        action.sa_flags = SA_SIGINFO;
        sigemptyset(&action.sa_mask);
        garde = sigaction(SIGBUS, &action, &ancienne) == 0;
        // A SIGBUS blocked by the parent, and so by us, would not reach the
        // handler: the kernel would end the program for an unreadable page.
        // One that the parent holds pending stays held: the source is then
        // read, not mapped.
        sigset_t bus, pendants;
        sigemptyset(&bus);
        sigaddset(&bus, SIGBUS);
        if (garde && (sigpending(&pendants) != 0 || sigismember(&pendants, SIGBUS) != 0 ||
                      sigprocmask(SIG_UNBLOCK, &bus, &masque) != 0)) {
            sigaction(SIGBUS, &ancienne, nullptr);
            garde = false;
        }
        carte = garde;
    }
}

int blocCarte(size_t n, const unsigned char **bloc)
{
    if (!carte)
        return 0;
    if (position + n <= taille && (fenetre == nullptr || position + n > debutFenetre + longueur)) {
        fermerFenetre();
        // Blocks start at multiples of n, a multiple of the page size.
        const unsigned long long reste = (taille - position) / n * n;
        longueur = static_cast<size_t>(reste < FENETRE ? reste : FENETRE);
        if (position == 0)
            demander(0, longueur);
        demander(position + longueur, position + longueur + FENETRE);
        void *p =
            mmap(nullptr, longueur, PROT_READ, MAP_SHARED | MAP_POPULATE, fileno(source), static_cast<off_t>(position));
        if (p != MAP_FAILED) {
            fenetre = static_cast<unsigned char *>(p);
            debutFenetre = position;
            (void)madvise(p, longueur, MADV_SEQUENTIAL);
        }
    }
    if (position + n <= taille && fenetre != nullptr) {
        *bloc = fenetre + (position - debutFenetre);
        position += n;
        return 1;
    }
    // The rest, or all of a file that cannot be mapped, is read from here.
    fermerFenetre();
    carte = false;
    return fseeko(source, static_cast<off_t>(position), SEEK_SET) == 0 ? 0 : -1;
}

bool transformerBloc(FonctionBloc bloc, const unsigned char *tables, const unsigned char *src, size_t n,
                     unsigned char *dst, size_t *ecrit)
{
    if (fenetre != nullptr) {
        if (sigsetjmp(reprise, 1) != 0)
            return false;
    }
    *ecrit = bloc(tables, src, n, dst);
    return true;
}

void finirLecture()
{
    fermerFenetre();
    carte = false;
    if (garde) {
        sigprocmask(SIG_SETMASK, &masque, nullptr);
        sigaction(SIGBUS, &ancienne, nullptr);
    }
    garde = false;
}

#endif
