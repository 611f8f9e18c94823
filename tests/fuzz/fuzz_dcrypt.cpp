// Any bytes decode, into half as many, whatever the identity positions.
#include "fuzz_commun.h"
#include "matrice.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const double init[4] = {static_cast<double>(size % 8), 3, 6, 1};
    const std::string src = ecrireFichier("code", data, size), dst = fichier("clair");
    VERIFIER(dcryptfich(src.c_str(), dst.c_str(), init) == 0);
    VERIFIER(lireFichier(dst).size() == size / 2);
    return 0;
}
