// The Advanced SIMD path: 16 lanes of one byte, looked up with a table
// instruction.
#include "vecteur.h"

#ifdef G4_NEON
#include <arm_neon.h>

bool uniteVecteur()
{
    return true;
}

namespace {

// Lanes in: 16 code bytes. Lanes out: the half each one carries, the OR of
// what its high nibble and its low nibble carry.
inline uint8x16_t demis(uint8x16_t tHaut, uint8x16_t tBas, uint8x16_t code)
{
    return vorrq_u8(vqtbl1q_u8(tHaut, vshrq_n_u8(code, 4)), vqtbl1q_u8(tBas, vandq_u8(code, vdupq_n_u8(0x0F))));
}

}  // namespace

size_t crypterVecteur(const unsigned char *code, const unsigned char *src, size_t n, unsigned char *dst)
{
    // Lane h: the code byte of the half h.
    const uint8x16_t table = vld1q_u8(code);
    size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const uint8x16_t octets = vld1q_u8(src + i);
        // Each lane looks up its own half in the table: 16 code bytes at once,
        // one vector for the high halves, one for the low.
        uint8x16x2_t codes;
        codes.val[0] = vqtbl1q_u8(table, vshrq_n_u8(octets, 4));
        codes.val[1] = vqtbl1q_u8(table, vandq_u8(octets, vdupq_n_u8(0x0F)));
        // Stored interleaved high, low, high, low: the 32 code bytes in file order.
        vst2q_u8(dst + 2 * i, codes);
    }
    return i;
}

size_t dcrypterVecteur(const unsigned char *demiHaut, const unsigned char *demiBas, const unsigned char *src,
                       size_t paires, unsigned char *dst)
{
    const uint8x16_t tHaut = vld1q_u8(demiHaut);
    const uint8x16_t tBas = vld1q_u8(demiBas);
    size_t i = 0;
    for (; i + 16 <= paires; i += 16) {
        // Loaded apart: val[0] the 16 code bytes of the high halves, val[1]
        // those of the low halves.
        const uint8x16x2_t code = vld2q_u8(src + 2 * i);
        // Lanes: the high halves, then the low halves, of 16 plain bytes.
        const uint8x16_t haut = demis(tHaut, tBas, code.val[0]);
        const uint8x16_t bas = demis(tHaut, tBas, code.val[1]);
        // Each high half shifted up and joined to its low half: the 16 plain
        // bytes in order.
        vst1q_u8(dst + i, vorrq_u8(vshlq_n_u8(haut, 4), bas));
    }
    return i;
}

#endif
