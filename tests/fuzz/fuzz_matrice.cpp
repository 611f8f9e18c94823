// Any file contents: result 0, 2 or 3, and on 0 true identity columns.
#include "fuzz_commun.h"
#include "matrice.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string nom = ecrireFichier("matrice", data, size);
    char str[TAILLE_STR];
    double init[4];
    const int res = matriceDecod(nom.c_str(), init, str);
    VERIFIER(res == 0 || res == 2 || res == 3);
    if (res != 0)
        return 0;
    for (int r = 0; r < 4; ++r) {
        const int col = static_cast<int>(init[r]);
        VERIFIER(col >= 0 && col < 8 && init[r] == col);
        for (int autre = 0; autre < 4; ++autre)
            VERIFIER(str[8 * autre + col] == (autre == r ? '1' : '0'));
    }
    return 0;
}
