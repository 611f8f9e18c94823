// The SSSE3 path: 16 lanes of one byte, looked up with a byte shuffle.
#include "vecteur.h"

#ifdef G4_SSSE3
#include <tmmintrin.h>

bool uniteVecteur()
{
    // One executable for every x86-64: asked of the processor, not the
    // compiler. A plain read of what the start-up code found, and no
    // guarded static, which would need the C++ runtime library.
    return __builtin_cpu_supports("ssse3");
}

namespace {

typedef __m128i Voie;

__attribute__((target("ssse3"))) inline Voie charger(const unsigned char *p)
{
    return _mm_loadu_si128(reinterpret_cast<const Voie *>(p));
}

__attribute__((target("ssse3"))) inline void ranger(unsigned char *p, Voie v)
{
    _mm_storeu_si128(reinterpret_cast<Voie *>(p), v);
}

// Lanes in: 16 bytes. Lanes out: the high half of each, 0 to 15.
__attribute__((target("ssse3"))) inline Voie moitiesHautes(Voie octets)
{
    // The shift works on 16-bit lanes; the mask drops the bits it pulled
    // across from the neighbouring byte.
    return _mm_and_si128(_mm_srli_epi16(octets, 4), _mm_set1_epi8(0x0F));
}

// Lanes out: the low half of each byte, 0 to 15.
__attribute__((target("ssse3"))) inline Voie moitiesBasses(Voie octets)
{
    return _mm_and_si128(octets, _mm_set1_epi8(0x0F));
}

// Lanes in: 16 code bytes. Lanes out: the half each one carries, the OR of
// what its high nibble and its low nibble carry.
__attribute__((target("ssse3"))) inline Voie demis(Voie tHaut, Voie tBas, Voie code)
{
    return _mm_or_si128(_mm_shuffle_epi8(tHaut, moitiesHautes(code)), _mm_shuffle_epi8(tBas, moitiesBasses(code)));
}

}  // namespace

__attribute__((target("ssse3"))) size_t crypterVecteur(const unsigned char *code, const unsigned char *src, size_t n,
                                                       unsigned char *dst)
{
    // Lane h: the code byte of the half h.
    const Voie table = charger(code);
    size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const Voie octets = charger(src + i);
        // Each lane looks up its own half in the table: 16 code bytes at once,
        // one vector for the high halves, one for the low.
        const Voie codeHaut = _mm_shuffle_epi8(table, moitiesHautes(octets));
        const Voie codeBas = _mm_shuffle_epi8(table, moitiesBasses(octets));
        // Interleaved high, low, high, low: the 32 code bytes in file order.
        ranger(dst + 2 * i, _mm_unpacklo_epi8(codeHaut, codeBas));
        ranger(dst + 2 * i + 16, _mm_unpackhi_epi8(codeHaut, codeBas));
    }
    return i;
}

__attribute__((target("ssse3"))) size_t dcrypterVecteur(const unsigned char *demiHaut, const unsigned char *demiBas,
                                                        const unsigned char *src, size_t paires, unsigned char *dst)
{
    const Voie tHaut = charger(demiHaut);
    const Voie tBas = charger(demiBas);
    // Bytes 16, 1, 16, 1...: the weights of a high half and of a low half.
    const Voie poids = _mm_set1_epi16(0x0110);
    size_t i = 0;
    for (; i + 16 <= paires; i += 16) {
        // Lanes: 16 halves each, high and low alternating, 8 pairs per vector.
        const Voie a = demis(tHaut, tBas, charger(src + 2 * i));
        const Voie b = demis(tHaut, tBas, charger(src + 2 * i + 16));
        // Adjacent lanes multiplied by 16 and 1 and added: 8 16-bit lanes,
        // each a plain byte.
        const Voie motsA = _mm_maddubs_epi16(a, poids);
        const Voie motsB = _mm_maddubs_epi16(b, poids);
        // Narrowed back to bytes: the 16 plain bytes in order.
        ranger(dst + i, _mm_packus_epi16(motsA, motsB));
    }
    return i;
}

#endif
