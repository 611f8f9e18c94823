// The fuzz targets, one per value of CIBLE: 1 the matrix reader, 2 the
// decoder, 3 encoding then decoding with known matrices.
#include "../outils.h"
#include "matrice.h"
#include "vecteur.h"

#include <cstdio>
#include <unistd.h>

namespace {

std::string fichier(const char *nom)
{
    static const char *const tmp = getenv("TMPDIR");
    return std::string(tmp != nullptr ? tmp : "/tmp") + "/g4fuzz." + std::to_string(getpid()) + nom;
}

void verifier(bool ok, const char *quoi)
{
    if (!ok) {
        fprintf(stderr, "failed: %s\n", quoi);
        abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string entree(reinterpret_cast<const char *>(data), size),
        mat = fichier(".mat"), src = fichier(".src"), code = fichier(".code"), retour = fichier(".retour");
    double init[4] = {static_cast<double>(size % 8), 3, 6, 1};
#if CIBLE == 1
    // Any file: 0, 2 or 3, and on 0 every position is a true identity column.
    ecrire(mat, entree);
    char str[TAILLE_STR];
    const int res = matriceDecod(mat.c_str(), init, str);
    verifier(res == 0 || res == 2 || res == 3, "result");
    for (int r = 0; res == 0 && r < 4; ++r) {
        const int col = static_cast<int>(init[r]);
        verifier(col >= 0 && col < 8 && init[r] == col, "position");
        for (int autre = 0; autre < 4; ++autre)
            verifier(str[8 * autre + col] == (autre == r ? '1' : '0'), "identity column");
    }
#elif CIBLE == 2
    // Any bytes: the vector path writes what the table path writes.
    ecrire(code, entree);
    verifier(dcryptfich(code.c_str(), retour.c_str(), init) == 0, "result");
    const std::string vecteur = lire(retour);
    forcerChemin(CHEMIN_TABLE);
    verifier(dcryptfich(code.c_str(), retour.c_str(), init) == 0, "result");
    forcerChemin(CHEMIN_AUTO);
    verifier(vecteur.size() == size / 2 && vecteur == lire(retour), "same bytes as the table path");
#else
    // The first byte picks a matrix, the rest is the file.
    if (size < 1)
        return 0;
    const char *const matrices[] = {G1, G2, G3};
    char str[TAILLE_STR];
    verifier(matriceDecod(matrices[data[0] % 3], init, str) == 0, "valid matrix");
    ecrire(src, entree.substr(1));
    verifier(cryptfich(src.c_str(), code.c_str(), str) == 0, "encoding");
    verifier(dcryptfich(code.c_str(), retour.c_str(), init) == 0, "decoding");
    verifier(lire(retour) == entree.substr(1), "round trip");
#endif
    return 0;
}
