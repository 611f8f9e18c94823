#ifndef G4CRYPT_FICHIERS_H
#define G4CRYPT_FICHIERS_H

#include <cstdio>

// Opens a matrix or source file for reading; anything else (directory,
// device, pipe) gives a null stream, as a missing file does. It is looked
// at before the open, and only a file swapped in at that very moment is
// opened, never read.
FILE *ouvrirFichier(const char *nom, const char *mode);

// The open itself: it never waits, also when a named pipe was put in the
// file's place after it was looked at, and keeps only a plain file.
FILE *ouvrirLecture(const char *nom, const char *mode);

#ifdef _WIN32
// Where the answers come from, which tells how the names in them are
// encoded: typed at the console, UTF-16 text, or bytes through a pipe or
// from a file.
enum { ENTREE_CONSOLE, ENTREE_UTF16, ENTREE_TUBE, ENTREE_FICHIER };
void annoncerEntree(int nature);

// The first block of answers in bytes, before any name is used: where its
// letters outside UTF-8 are French in one legacy page only, they are in
// that page.
void jugerEntree(const unsigned char *octets, size_t n);

// The name as it was typed, in UTF-16 for the console to show: the number
// of characters put in large (at most n with the terminator), 0 if none.
int nomAffiche(const char *nom, wchar_t *large, int n);
#endif

// A matrix file, read whole from pf, is the key to every file encrypted
// with it: from then on the transformations refuse it as a destination,
// under any name, as they refuse a destination that is no plain file.
// Returns -1 when it could not be recorded, and so could not be protected.
int protegerFlux(FILE *pf);

// The length of the UTF-8 character at s, of which n bytes are there: the
// bytes it needs, also past n when those there are right so far, or 0 when
// they are no UTF-8.
size_t caractereUtf8(const unsigned char *s, size_t n);

// What a transformation makes of one block: n bytes of src become the
// returned count of bytes in dst, with the tables of that transformation.
typedef size_t (*FonctionBloc)(const unsigned char *tables, const unsigned char *src, size_t n, unsigned char *dst);

// Transforms the file nomSrc into the file nomDst, reading blocks of
// tailleBloc bytes. Returns RES_OK, or the result of the first failure. The
// source, and nomAutre when it is given, are never opened for writing nor
// destroyed through another name (RES_MEME_FICHIER); a destination that is
// there but is no plain file, or is a matrix file, is never written to, and
// one that was not there is only ever created, never followed through a
// link. A new destination is no more open than the source.
int transformerFichier(const char *nomSrc, const char *nomDst, const char *nomAutre, size_t tailleBloc,
                       FonctionBloc bloc, const unsigned char *tables);

// Told how far a transformation is: as it starts, after each block, and as
// it ends, done or failed; with the bytes of the source done and its size
// as it was opened, 0 when it has none (some files of /proc hold data all
// the same).
enum { PROGRES_DEBUT, PROGRES_BLOC, PROGRES_FIN };
typedef void (*FonctionProgres)(int etape, unsigned long long fait, unsigned long long total);

// Set once, by the front end that shows the progress; none by default.
void suivreProgres(FonctionProgres f);

// Source bytes encoded per block; a decoded block reads twice as many, an
// even count, so that only the last block can end inside a pair.
// 256 KiB measured faster than 16 KiB, 64 KiB and 1 MiB.
constexpr size_t TAILLE_BLOC = size_t{1} << 18;

#endif
