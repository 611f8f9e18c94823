#ifndef G4CRYPT_VECTEUR_H
#define G4CRYPT_VECTEUR_H

#include <cstddef>

// Which way the blocks are transformed: the vector path when the processor
// has it, or the portable tables (forced to compare the two).
enum { CHEMIN_AUTO = 0, CHEMIN_TABLE = 1 };
void forcerChemin(int chemin);
bool cheminVecteur();

// The vector unit of this processor, if any: SSSE3 on x86 (asked of the
// processor), Advanced SIMD on AArch64 (always there).
#if defined(__x86_64__) || defined(__i386__)
#define G4_SSSE3 1
#elif defined(__aarch64__)
#define G4_NEON 1
#endif
bool uniteVecteur();

// Each does a whole number of 16-lane steps from the start and returns how
// many bytes (encoding) or pairs (decoding) it did; the caller finishes the
// rest. 0 where there is no vector unit.
size_t crypterVecteur(const unsigned char *code, const unsigned char *src, size_t n, unsigned char *dst);
size_t dcrypterVecteur(const unsigned char *demiHaut, const unsigned char *demiBas, const unsigned char *src,
                       size_t paires, unsigned char *dst);

#endif
