#include "vecteur.h"

namespace {

int choix = CHEMIN_AUTO;

}  // namespace

void forcerChemin(int chemin)
{
    choix = chemin;
}

bool cheminVecteur()
{
    return choix == CHEMIN_AUTO && uniteVecteur();
}

#if !defined(G4_SSSE3) && !defined(G4_NEON)

bool uniteVecteur()
{
    return false;
}

size_t crypterVecteur(const unsigned char *, const unsigned char *, size_t, unsigned char *)
{
    return 0;
}

size_t dcrypterVecteur(const unsigned char *, const unsigned char *, const unsigned char *, size_t, unsigned char *)
{
    return 0;
}

#endif
