#include "matrice.h"

#include "fichiers.h"

namespace {

// Finds each row's identity column.
int colonnes(const char *str, double *init)
{
    int l = 0;
    for (int i = 0; i < 4; ++i) {
        int valid = 0;
        // Whole numbers below 8 are exact in a double.
        for (double j = 0.0; j < 8.0 && valid == 0; j += 1.0) {  // NOLINT(cert-flp30-c)
            const int col = static_cast<int>(j);
            if (str[8 * i + col] == '1') {
                int verif = 0;
                for (int r = 0; r < 4; ++r)
                    verif += str[8 * r + col] - '0';
                if (verif == 1) {
                    init[i] = j;
                    valid = 1;
                    ++l;
                }
            }
        }
    }
    return l == 4 ? RES_OK : RES_IDENTITE;
}

}  // namespace

int matriceDecod(const char *nom, double *init, char *str)
{
    str[0] = '\0';
    FILE *pf = ouvrirFichier(nom, "r");
    if (pf == nullptr)
        return RES_INTROUVABLE;

    // Past 32 digits the answer is already known: stop there, so that a huge
    // file never overruns the caller's buffer.
    int n = 0;
    int c;
    while (n <= NB_CHIFFRES && (c = getc(pf)) != EOF) {
        if (c == '0' || c == '1') {
            if (n < NB_CHIFFRES)
                str[n] = static_cast<char>(c);
            ++n;
        }
    }
    str[n < NB_CHIFFRES ? n : NB_CHIFFRES] = '\0';
    int res = ferror(pf) ? RES_INTROUVABLE : n != NB_CHIFFRES ? RES_NB_CHIFFRES : colonnes(str, init);
    // Protected as the file that was read, whatever its name designates by
    // now; a key that cannot be protected is not taken.
    if (res == RES_OK && protegerFlux(pf) != 0)
        res = RES_INTROUVABLE;
    return fclose(pf) != 0 ? RES_INTROUVABLE : res;
}
