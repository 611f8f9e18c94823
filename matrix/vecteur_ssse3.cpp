// The SSSE3 path: 16 lanes of one byte, looked up with a byte shuffle.
#include "vecteur.h"

#ifdef G4_SSSE3
#include <immintrin.h>

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

typedef __m256i Voie2;

// The same on 32 lanes, where the processor has AVX2: its byte shuffles and
// interleaves work within each 16-lane half, so the halves are put back in
// file order.
__attribute__((target("avx2"))) size_t crypterAvx2(const unsigned char *code, const unsigned char *src, size_t n,
                                                   unsigned char *dst)
{
    const Voie2 table = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const Voie *>(code)));
    const Voie2 masque = _mm256_set1_epi8(0x0F);
    size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        const Voie2 octets = _mm256_loadu_si256(reinterpret_cast<const Voie2 *>(src + i));
        const Voie2 codeHaut = _mm256_shuffle_epi8(table, _mm256_and_si256(_mm256_srli_epi16(octets, 4), masque));
        const Voie2 codeBas = _mm256_shuffle_epi8(table, _mm256_and_si256(octets, masque));
        const Voie2 bas = _mm256_unpacklo_epi8(codeHaut, codeBas), haut = _mm256_unpackhi_epi8(codeHaut, codeBas);
        _mm256_storeu_si256(reinterpret_cast<Voie2 *>(dst + 2 * i), _mm256_permute2x128_si256(bas, haut, 0x20));
        _mm256_storeu_si256(reinterpret_cast<Voie2 *>(dst + 2 * i + 32), _mm256_permute2x128_si256(bas, haut, 0x31));
    }
    return i;
}

__attribute__((target("avx2"))) size_t dcrypterAvx2(const unsigned char *demiHaut, const unsigned char *demiBas,
                                                    const unsigned char *src, size_t paires, unsigned char *dst)
{
    const Voie2 tHaut = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const Voie *>(demiHaut)));
    const Voie2 tBas = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const Voie *>(demiBas)));
    const Voie2 masque = _mm256_set1_epi8(0x0F), poids = _mm256_set1_epi16(0x0110);
    size_t i = 0;
    for (; i + 32 <= paires; i += 32) {
        // Measured: the hardware alone leaves the loop waiting on memory.
        _mm_prefetch(reinterpret_cast<const char *>(src + 2 * i + 2048), _MM_HINT_T0);
        Voie2 mots[2];
        for (size_t k = 0; k < 2; ++k) {
            const Voie2 code = _mm256_loadu_si256(reinterpret_cast<const Voie2 *>(src + 2 * i + 32 * k));
            const Voie2 demi =
                _mm256_or_si256(_mm256_shuffle_epi8(tHaut, _mm256_and_si256(_mm256_srli_epi16(code, 4), masque)),
                                _mm256_shuffle_epi8(tBas, _mm256_and_si256(code, masque)));
            mots[k] = _mm256_maddubs_epi16(demi, poids);
        }
        // Packed half by half: 0-7, 16-23, 8-15, 24-31 of the plain bytes.
        _mm256_storeu_si256(reinterpret_cast<Voie2 *>(dst + i),
                            _mm256_permute4x64_epi64(_mm256_packus_epi16(mots[0], mots[1]), 0xD8));
    }
    return i;
}

}  // namespace

__attribute__((target("ssse3"))) size_t crypterVecteur(const unsigned char *code, const unsigned char *src, size_t n,
                                                       unsigned char *dst)
{
    // Lane h: the code byte of the half h.
    const Voie table = charger(code);
    size_t i = __builtin_cpu_supports("avx2") ? crypterAvx2(code, src, n, dst) : 0;
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
    size_t i = __builtin_cpu_supports("avx2") ? dcrypterAvx2(demiHaut, demiBas, src, paires, dst) : 0;
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
