#include "fichiers.h"

#include "matrice.h"

#include <sys/stat.h>
#ifdef _WIN32
#include <cstdlib>
#include <cstring>
#endif

namespace {

const int TAILLE_TAMPON = 1 << 17;
char tamponLecture[TAILLE_TAMPON];
char tamponEcriture[TAILLE_TAMPON];

bool estOrdinaire(const struct stat &st)
{
    return (st.st_mode & S_IFMT) == S_IFREG;
}

// Whether the name designates the file already open as pf.
bool memeFichier(FILE *pf, const char *nomSrc, const char *nomDst)
{
#ifdef _WIN32
    // No inode numbers here: compare the full path names instead.
    (void)pf;
    char a[_MAX_PATH];
    char b[_MAX_PATH];
    if (_fullpath(a, nomSrc, _MAX_PATH) == nullptr || _fullpath(b, nomDst, _MAX_PATH) == nullptr)
        return true;  // refuse rather than risk the source
    return _stricmp(a, b) == 0;
#else
    (void)nomSrc;
    struct stat src;
    struct stat dst;
    if (fstat(fileno(pf), &src) != 0)
        return true;
    if (stat(nomDst, &dst) != 0)
        return false;  // not there yet, or a dangling link: cannot be the source
    return src.st_dev == dst.st_dev && src.st_ino == dst.st_ino;
#endif
}

}  // namespace

FILE *ouvrirFichier(const char *nom, const char *mode)
{
    struct stat st;
    // Checked before opening too, so that a named pipe cannot block the open.
    if (stat(nom, &st) != 0 || !estOrdinaire(st))
        return nullptr;
    FILE *pf = fopen(nom, mode);
    if (pf == nullptr)
        return nullptr;
    if (fstat(fileno(pf), &st) != 0 || !estOrdinaire(st)) {
        fclose(pf);
        return nullptr;
    }
    return pf;
}

int ouvrirFlux(const char *nomSrc, const char *nomDst, FILE **pf, FILE **pf2)
{
    *pf = ouvrirFichier(nomSrc, "rb");
    if (*pf == nullptr)
        return RES_INTROUVABLE;
    if (memeFichier(*pf, nomSrc, nomDst)) {
        fclose(*pf);
        return RES_MEME_FICHIER;
    }
    *pf2 = fopen(nomDst, "wb");
    if (*pf2 == nullptr) {
        fclose(*pf);
        return RES_DESTINATION;
    }
    // A refused buffer only costs speed: the stream keeps its own.
    (void)setvbuf(*pf, tamponLecture, _IOFBF, sizeof tamponLecture);
    (void)setvbuf(*pf2, tamponEcriture, _IOFBF, sizeof tamponEcriture);
    return RES_OK;
}

int fermerFlux(FILE *pf, FILE *pf2, int res)
{
    if (res == RES_OK && ferror(pf2))
        res = RES_ECRITURE;
    if (res == RES_OK && ferror(pf))
        res = RES_LECTURE;
    if (fclose(pf2) != 0 && res == RES_OK)
        res = RES_ECRITURE;
    if (fclose(pf) != 0 && res == RES_OK)
        res = RES_LECTURE;
    return res;
}
