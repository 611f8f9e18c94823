#include "fichiers.h"
#include "matrice.h"
#include "vecteur.h"

#include <cmath>

namespace {

// demi[b]: the half carried by the code byte b.
size_t dcrypterBloc(const unsigned char *demi, const unsigned char *src, size_t n, unsigned char *dst)
{
    // Reads are whole blocks of an even size but for the last one, so a lone
    // byte can only be the file's last, and it is dropped.
    const size_t paires = n / 2;
    size_t fait = 0;
    if (cheminVecteur()) {
        // A code byte's half is the OR of what its two nibbles carry.
        unsigned char demiHaut[16];
        for (int i = 0; i < 16; ++i)
            demiHaut[i] = demi[i << 4];
        fait = dcrypterVecteur(demiHaut, demi, src, paires, dst);
    }
    for (size_t i = fait; i < paires; ++i)
        dst[i] = static_cast<unsigned char>(demi[src[2 * i]] << 4 | demi[src[2 * i + 1]]);
    return paires;
}

}  // namespace

int dcryptfich(const char *nomA, const char *nomD, const double *init, const char *nomClair)
{
    unsigned char masque[4];
    for (int r = 0; r < 4; ++r) {
        const double p = init[r];
        masque[r] = (p >= 0.0 && p <= 7.0) ? static_cast<unsigned char>(pow(2.0, 7.0 - p)) : 0;
    }
    // The bit at row r's identity column is the half's bit of weight 8 >> r.
    unsigned char demi[256];
    for (int b = 0; b < 256; ++b) {
        int v = 0;
        for (int r = 0; r < 4; ++r)
            if (b & masque[r])
                v |= 8 >> r;
        demi[b] = static_cast<unsigned char>(v);
    }
    return transformerFichier(nomA, nomD, nomClair, 2 * TAILLE_BLOC, dcrypterBloc, demi);
}
