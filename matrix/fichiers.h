#ifndef G4CRYPT_FICHIERS_H
#define G4CRYPT_FICHIERS_H

#include <cstdio>

// Opens a plain file for reading; anything else (directory, device, pipe)
// gives a null stream, as a missing file does.
FILE *ouvrirFichier(const char *nom, const char *mode);

// Opens the source for binary reading and the destination for binary
// writing, both with large buffers. Returns RES_OK with both streams set,
// or an error result with neither stream open.
int ouvrirFlux(const char *nomSrc, const char *nomDst, FILE **pf, FILE **pf2);

// Closes destination then source; the first failure decides the result.
int fermerFlux(FILE *pf, FILE *pf2, int res);

// One byte per call: the unlocked forms, since these streams never leave
// the calling thread.
inline int lireOctet(FILE *f)
{
#ifdef _WIN32
    return getc(f);
#else
    return getc_unlocked(f);
#endif
}

inline int ecrireOctet(int c, FILE *f)
{
#ifdef _WIN32
    return putc(c, f);
#else
    return putc_unlocked(c, f);
#endif
}

#endif
