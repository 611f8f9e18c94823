#include "fichiers.h"
#include "matrice.h"
#include "vecteur.h"

#include <cstring>

void fusioBin(const char *str, char *chainemod, int deb, int taille)
{
    memcpy(chainemod, str + deb, static_cast<size_t>(taille));
    chainemod[taille] = '\0';
}

void fusioChain(char *chainemod1, const char *chainemod2, int taille)
{
    for (int i = 0; i < taille; ++i) {
        if (chainemod2[i] == '1' && chainemod1[i] == '1')
            chainemod1[i] = '0';
        else if (chainemod1[i] == '0')
            chainemod1[i] = chainemod2[i];
    }
}

int decToInt(const char *partMat, int deb, int tailleMat)
{
    int poids = 128;
    int total = 0;
    for (int i = 0; i < tailleMat; ++i) {
        if (partMat[deb + i] == '1')
            total += poids;
        poids /= 2;
    }
    return total;
}

namespace {

// The tables of one call: the code byte of each half, then the two code
// bytes of each source byte.
enum { TABLES_CRYPT = 16 + 2 * 256 };

size_t crypterBloc(const unsigned char *tables, const unsigned char *src, size_t n, unsigned char *dst)
{
    const unsigned char *paire = tables + 16;
    const size_t fait = cheminVecteur() ? crypterVecteur(tables, src, n, dst) : 0;
    for (size_t i = fait; i < n; ++i)
        memcpy(dst + 2 * i, paire + 2 * size_t{src[i]}, 2);
    return 2 * n;
}

}  // namespace

int cryptfich(const char *nomA, const char *nomC, const char *str)
{
    char M[4][9] = {};
    for (int r = 0; r < 4; ++r)
        fusioBin(str, M[r], 8 * r, 8);

    // The code byte of each of the 16 possible halves, computed once: row r
    // takes part when the half's bit of weight 8 >> r is set.
    unsigned char tables[TABLES_CRYPT];
    for (int h = 0; h < 16; ++h) {
        char tmp[9] = "00000000";
        for (int r = 0; r < 4; ++r)
            if (h & (8 >> r))
                fusioChain(tmp, M[r], 9);
        tables[h] = static_cast<unsigned char>(decToInt(tmp, 0, 8));
    }
    // Code byte 2n holds the high half of source byte n, 2n + 1 its low half.
    for (int b = 0; b < 256; ++b) {
        tables[16 + 2 * b] = tables[b >> 4];
        tables[16 + 2 * b + 1] = tables[b & 0x0F];
    }
    return transformerFichier(nomA, nomC, nullptr, TAILLE_BLOC, crypterBloc, tables);
}
