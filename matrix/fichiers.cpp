#include "fichiers.h"

#include "matrice.h"
#include "systeme.h"

#include <cstdlib>

namespace {

// Whole blocks of either direction: 2 * TAILLE_BLOC bytes in and out.
unsigned char entree[2 * TAILLE_BLOC];
unsigned char sortie[2 * TAILLE_BLOC];

FonctionProgres progres = nullptr;

// Every matrix file read in this run, however many: forgetting one would
// let the key to its files be written over. The one list of the program
// that grows, by a few dozen bytes a matrix.
Identite *cles = nullptr;
size_t nbCles = 0;
size_t placeCles = 0;

bool meme(const Identite &a, const Identite &b)
{
    return a.volume == b.volume && a.index == b.index && a.suite == b.suite;
}

bool estCle(const Identite &id)
{
    for (size_t i = 0; i < nbCles; ++i)
        if (meme(cles[i], id))
            return true;
    return false;
}

// What writing over a file with this identity would do to the source, or
// to the other file the operation keeps (autre, when there is one).
int comparer(const Identite &src, const Identite *autre, const Identite &dst)
{
    if (!dst.ordinaire || estCle(dst))
        return RES_DESTINATION;
    if (meme(src, dst) || (autre != nullptr && meme(*autre, dst)))
        return RES_MEME_FICHIER;
    return dst.incertain ? RES_DESTINATION : RES_OK;
}

// A file just created has the number of no file that was there before it:
// a key with that number was deleted, and is a key no more.
void oublierCle(const Identite &id)
{
    if (id.index == 0 && id.suite == 0)
        return;
    for (size_t i = 0; i < nbCles; ++i)
        if (meme(cles[i], id))
            cles[i--] = cles[--nbCles];
}

// Opens the destination of the source src, unless it is the source, autre,
// a matrix file or no plain file. Looked at before the open, since opening
// a device or a pipe can act or block; looked at again on what was opened,
// in case the name changed hands meanwhile, and emptied only then. A file
// this call created is none of them, as they were there before it; refused
// all the same, it is removed. A new file is left as it is: emptying it
// would make ext4 flush it to disk when it is closed, which doubled the
// time of a large encryption.
int ouvrirDestination(const Identite &src, const Identite *autre, const char *nomDst, FILE **pf2)
{
    Identite dst;
    if (!destinationPermise(nomDst))
        return RES_DESTINATION;
    const bool nouveau = identiteNom(nomDst, &dst) != 0;
    int res = nouveau ? RES_OK : comparer(src, autre, dst);
    if (res != RES_OK)
        return res;
    *pf2 = ouvrirEcriture(nomDst, src.droits, nouveau);
    if (*pf2 == nullptr)
        return RES_DESTINATION;
    const bool vu = identiteFlux(*pf2, &dst) == 0;
    if (vu && nouveau)
        oublierCle(dst);
    res = !vu ? RES_DESTINATION : nouveau ? (dst.ordinaire ? RES_OK : RES_DESTINATION) : comparer(src, autre, dst);
    if (res == RES_OK && dst.taille > 0 && vider(*pf2) != 0)
        res = RES_DESTINATION;
    if (res != RES_OK) {
        fclose(*pf2);
        Identite la;
        if (nouveau && vu && identiteNom(nomDst, &la) == 0 && meme(la, dst))
            (void)supprimer(nomDst);
    }
    return res;
}

// Opens the source, then the destination. Returns RES_OK with both streams
// set and the source's size, or an error result with neither open.
int ouvrirFlux(const char *nomSrc, const char *nomDst, const char *nomAutre, FILE **pf, FILE **pf2,
               unsigned long long *taille)
{
    *pf = ouvrirFichier(nomSrc, "rb");
    if (*pf == nullptr)
        return RES_INTROUVABLE;
    // Looked at once the source has settled how names read on Windows:
    // autre and the destination are then read alike.
    Identite src;
    Identite autre;
    const bool garde = nomAutre != nullptr && identiteNom(nomAutre, &autre) == 0 && autre.ordinaire;
    const int res =
        identiteFlux(*pf, &src) != 0 ? RES_LECTURE : ouvrirDestination(src, garde ? &autre : nullptr, nomDst, pf2);
    if (res != RES_OK) {
        fclose(*pf);
        return res;
    }
    *taille = src.taille;
    // The blocks are large: a stream buffer would only copy them once more.
    (void)setvbuf(*pf, nullptr, _IONBF, 0);
    (void)setvbuf(*pf2, nullptr, _IONBF, 0);
    return RES_OK;
}

}  // namespace

FILE *ouvrirLecture(const char *nom, const char *mode)
{
    FILE *pf = ouvrirNom(nom, mode);
    Identite id;
    if (pf != nullptr && (identiteFlux(pf, &id) != 0 || !id.ordinaire)) {
        fclose(pf);
        return nullptr;
    }
    return pf;
}

FILE *ouvrirFichier(const char *nom, const char *mode)
{
    Identite id;
    // Looked at before the open too: opening a device can act.
    if (!reconnaitrePage(nom) || identiteNom(nom, &id) != 0 || !id.ordinaire)
        return nullptr;
    return ouvrirLecture(nom, mode);
}

int transformerFichier(const char *nomSrc, const char *nomDst, const char *nomAutre, size_t tailleBloc,
                       FonctionBloc bloc, const unsigned char *tables)
{
    FILE *pf = nullptr;
    FILE *pf2 = nullptr;
    unsigned long long taille = 0;
    int res = ouvrirFlux(nomSrc, nomDst, nomAutre, &pf, &pf2, &taille);
    if (res != RES_OK)
        return res;
    unsigned long long fait = 0;
    if (progres != nullptr)
        progres(PROGRES_DEBUT, fait, taille);
    commencerLecture(pf, taille);
    size_t n;
    do {
        // A whole block of the mapped source, or else one read; fread only
        // comes back short at the end of the file or on an error.
        const unsigned char *src = entree;
        const int carte = blocCarte(tailleBloc, &src);
        n = carte == 0 ? fread(entree, 1, tailleBloc, pf) : tailleBloc;
        size_t ecrit = 0;
        if (carte < 0 || (carte == 0 && n < tailleBloc && ferror(pf)) ||
            !transformerBloc(bloc, tables, src, n, sortie, &ecrit)) {
            res = RES_LECTURE;
            break;
        }
        if (fwrite(sortie, 1, ecrit, pf2) != ecrit) {
            res = RES_ECRITURE;
            break;
        }
        fait += n;
        if (progres != nullptr)
            progres(PROGRES_BLOC, fait, taille);
    } while (n == tailleBloc);
    finirLecture();
    // A source found shorter, once read, than it was opened was cut short
    // meanwhile: what was read of it, mapped pages read as zeros among it,
    // is not all of it. A pseudo-file of /sys says a size that it does not
    // hold, and is read whole.
    Identite apres;
    if (res == RES_OK && (identiteFlux(pf, &apres) != 0 || apres.taille < taille))
        res = RES_LECTURE;
    if (fclose(pf2) != 0 && res == RES_OK)
        res = RES_ECRITURE;
    if (fclose(pf) != 0 && res == RES_OK)
        res = RES_LECTURE;
    if (progres != nullptr)
        progres(PROGRES_FIN, fait, taille);
    return res;
}

void suivreProgres(FonctionProgres f)
{
    progres = f;
}

int protegerFlux(FILE *pf)
{
    Identite id;
    if (identiteFlux(pf, &id) != 0)
        return -1;
    if (estCle(id))
        return 0;
    if (nbCles == placeCles) {
        const size_t place = placeCles == 0 ? 16 : 2 * placeCles;
        void *p = realloc(cles, place * sizeof *cles);
        if (p == nullptr)
            return -1;
        cles = static_cast<Identite *>(p);
        placeCles = place;
    }
    cles[nbCles++] = id;
    retenir(pf);
    return 0;
}

size_t caractereUtf8(const unsigned char *s, size_t n)
{
    const unsigned c = s[0];
    const size_t l = c < 0x80 ? 1 : c < 0xC2 ? 0 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : c < 0xF5 ? 4 : 0;
    // The second byte's range keeps out overlong forms, surrogates and what
    // lies past U+10FFFF.
    const unsigned bas = c == 0xE0 ? 0xA0 : c == 0xF0 ? 0x90 : 0x80;
    const unsigned haut = c == 0xED ? 0x9F : c == 0xF4 ? 0x8F : 0xBF;
    for (size_t i = 1; i < l && i < n; ++i)
        if (s[i] < (i == 1 ? bas : 0x80) || s[i] > (i == 1 ? haut : 0xBF))
            return 0;
    return l;
}
