#ifndef G4CRYPT_SYSTEME_H
#define G4CRYPT_SYSTEME_H

// What each system's half of the file layer gives the shared part. A name
// is kept as the bytes that were read; only these functions hand it to the
// file system.

#include "fichiers.h"

#include <cstdio>

// Where a file lives, whether it is a plain one, how long it is, and the
// permission bits a copy of it may take: device and inode on Linux, volume
// and 128-bit file ID on Windows (index, then suite). An ID of 0 tells
// nothing: no file system gives it. Uncertain, the file may be any other
// under another name: a file system without IDs tells a file by its path,
// and this one has other links.
struct Identite {
    unsigned long long volume, index, suite, taille;
    unsigned droits;
    bool ordinaire, incertain;
};

// 0 with *id filled, or -1 when the name designates nothing.
int identiteNom(const char *nom, Identite *id);
int identiteFlux(FILE *pf, Identite *id);

// Opens for reading without waiting: a named pipe opens at once rather
// than blocking until a writer comes.
FILE *ouvrirNom(const char *nom, const char *mode);

// Opens for writing without waiting, without emptying it yet: a new file
// is created with the given permission bits less the umask, and only if
// nothing, not even a link, stands under its name by then; an existing one
// only if it is still there.
FILE *ouvrirEcriture(const char *nom, unsigned droits, bool nouveau);
int vider(FILE *pf);

// Removes the file of that name: 0, or -1.
int supprimer(const char *nom);

// Keeps the identity of the matrix file read through pf from going to
// another file while the program runs.
void retenir(FILE *pf);

// Whether the name may be written to at all, before anything is opened.
bool destinationPermise(const char *nom);

// Reads a matrix or source name, settling how the input's names are
// encoded where it tells. False when the name is refused.
bool reconnaitrePage(const char *nom);

// A transformation's source of taille bytes, read a block at a time: where
// the system allows, through a read-only mapping, which spares a copy;
// otherwise, and for what lies past the whole blocks of its size as it was
// opened, by reads from where the mapping stopped.
void commencerLecture(FILE *pf, unsigned long long taille);

// 1 with *bloc at the next n bytes in the mapping, 0 when the block is to be
// read, -1 when the source cannot be read on from there.
int blocCarte(size_t n, const unsigned char **bloc);

// bloc over n bytes at src: false when a mapped page of them could not be
// read, as when the file was cut short meanwhile.
bool transformerBloc(FonctionBloc bloc, const unsigned char *tables, const unsigned char *src, size_t n,
                     unsigned char *dst, size_t *ecrit);

// Ends the reading.
void finirLecture();

#endif
