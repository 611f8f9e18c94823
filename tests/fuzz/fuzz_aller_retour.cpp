// Encoding then decoding with any valid matrix gives the input back. The
// first 5 bytes make the matrix: 32 free bits, then where the four identity
// columns go.
#include "fuzz_commun.h"
#include "matrice.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 5)
        return 0;
    char lignes[33] = {};
    for (int i = 0; i < 32; ++i)
        lignes[i] = (data[i / 8] >> (7 - i % 8)) & 1 ? '1' : '0';
    int libres[8] = {0, 1, 2, 3, 4, 5, 6, 7}, nLibres = 8, choix = data[4];
    for (int r = 0; r < 4; ++r) {
        const int k = choix % nLibres;
        choix /= nLibres;
        const int col = libres[k];
        libres[k] = libres[--nLibres];
        for (int autre = 0; autre < 4; ++autre)
            lignes[8 * autre + col] = autre == r ? '1' : '0';
    }
    const std::string mat = ecrireFichier("matrice", reinterpret_cast<const uint8_t *>(lignes), 32);
    char str[TAILLE_STR];
    double init[4];
    VERIFIER(matriceDecod(mat.c_str(), init, str) == 0);
    const std::string src = ecrireFichier("source", data + 5, size - 5), code = fichier("code"),
                      retour = fichier("retour");
    VERIFIER(cryptfich(src.c_str(), code.c_str(), str) == 0);
    VERIFIER(dcryptfich(code.c_str(), retour.c_str(), init) == 0);
    const std::string attendu(reinterpret_cast<const char *>(data + 5), size - 5);
    VERIFIER(lireFichier(retour) == attendu);
    return 0;
}
