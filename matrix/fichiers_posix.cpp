// The file layer's half for Linux and other POSIX systems: names are bytes,
// handed to the kernel as they are.
#include "fichiers.h"
#include "systeme.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

static_assert(sizeof(off_t) == 8, "files past 2 GiB need a 64-bit off_t");

namespace {

void identiteEtat(const struct stat &st, Identite *id)
{
    // Read, write and execute only: a copy is never setuid, setgid or sticky.
    *id = {static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino),
           static_cast<unsigned long long>(st.st_size), static_cast<unsigned>(st.st_mode & 0777), S_ISREG(st.st_mode)};
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

bool destinationPermise(const char *)
{
    return true;
}

// Names are bytes here: there is nothing to settle.
bool reconnaitrePage(const char *)
{
    return true;
}

#endif
