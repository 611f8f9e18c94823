#include "fichiers.h"
#include "matrice.h"

#include <cmath>

int dcryptfich(const char *nomA, const char *nomD, const double *init)
{
    unsigned char masque[4];
    for (int r = 0; r < 4; ++r) {
        const double p = init[r];
        masque[r] = (p >= 0.0 && p <= 7.0) ? static_cast<unsigned char>(pow(2.0, 7.0 - p)) : 0;
    }
    // The half carried by each possible code byte: the bit at row r's
    // identity column is the half's bit of weight 8 >> r.
    unsigned char demi[256];
    for (int b = 0; b < 256; ++b) {
        int v = 0;
        for (int r = 0; r < 4; ++r)
            if (b & masque[r])
                v |= 8 >> r;
        demi[b] = static_cast<unsigned char>(v);
    }

    FILE *pf = nullptr;
    FILE *pf2 = nullptr;
    int res = ouvrirFlux(nomA, nomD, &pf, &pf2);
    if (res != RES_OK)
        return res;
    // Code bytes go in pairs, high half first; a lone last byte is dropped.
    int haut;
    int bas;
    while ((haut = lireOctet(pf)) != EOF && (bas = lireOctet(pf)) != EOF) {
        if (ecrireOctet(demi[haut] << 4 | demi[bas], pf2) == EOF) {
            res = RES_ECRITURE;
            break;
        }
    }
    return fermerFlux(pf, pf2, res);
}
