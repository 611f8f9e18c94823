#include "fichiers.h"
#include "matrice.h"

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

int cryptfich(const char *nomA, const char *nomC, const char *str)
{
    char M[4][9] = {};
    for (int r = 0; r < 4; ++r)
        fusioBin(str, M[r], 8 * r, 8);

    // The code byte of each of the 16 possible halves, computed once: row r
    // takes part when the half's bit of weight 8 >> r is set.
    unsigned char code[16];
    for (int h = 0; h < 16; ++h) {
        char tmp[9] = "00000000";
        for (int r = 0; r < 4; ++r)
            if (h & (8 >> r))
                fusioChain(tmp, M[r], 9);
        code[h] = static_cast<unsigned char>(decToInt(tmp, 0, 8));
    }

    FILE *pf = nullptr;
    FILE *pf2 = nullptr;
    int res = ouvrirFlux(nomA, nomC, &pf, &pf2);
    if (res != RES_OK)
        return res;
    int tmpc;
    while ((tmpc = lireOctet(pf)) != EOF) {
        if (ecrireOctet(code[tmpc >> 4], pf2) == EOF || ecrireOctet(code[tmpc & 0x0F], pf2) == EOF) {
            res = RES_ECRITURE;
            break;
        }
    }
    return fermerFlux(pf, pf2, res);
}
