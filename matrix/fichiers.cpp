#include "fichiers.h"

#include "matrice.h"

#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#include <windows.h>
#endif

namespace {

// Whole blocks of either direction: 2 * TAILLE_BLOC bytes in and out.
unsigned char entree[2 * TAILLE_BLOC];
unsigned char sortie[2 * TAILLE_BLOC];

bool estOrdinaire(const struct stat &st)
{
    return (st.st_mode & S_IFMT) == S_IFREG;
}

// Whether the name designates the file already open as pf: the same file
// whatever the spelling, links included. A name that does not exist yet
// cannot be the source.
#ifdef _WIN32
bool memeFichier(FILE *pf, const char *nomDst)
{
    BY_HANDLE_FILE_INFORMATION src;
    BY_HANDLE_FILE_INFORMATION dst;
    const HANDLE hSrc = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(pf)));
    if (hSrc == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(hSrc, &src))
        return true;  // refuse rather than risk the source
    // No access asked, only the identity; a directory opens too. A name that
    // cannot be opened even so cannot be opened for writing either.
    const HANDLE hDst = CreateFileA(nomDst, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (hDst == INVALID_HANDLE_VALUE)
        return false;
    const BOOL lu = GetFileInformationByHandle(hDst, &dst);
    CloseHandle(hDst);
    return !lu || (src.dwVolumeSerialNumber == dst.dwVolumeSerialNumber && src.nFileIndexHigh == dst.nFileIndexHigh &&
                   src.nFileIndexLow == dst.nFileIndexLow);
}
#else
bool memeFichier(FILE *pf, const char *nomDst)
{
    struct stat src;
    struct stat dst;
    if (fstat(fileno(pf), &src) != 0)
        return true;
    if (stat(nomDst, &dst) != 0)
        return false;  // not there yet, or a dangling link
    return src.st_dev == dst.st_dev && src.st_ino == dst.st_ino;
}
#endif

// Opens the source, then the destination unless it is the source. Returns
// RES_OK with both streams set, or an error result with neither open.
int ouvrirFlux(const char *nomSrc, const char *nomDst, FILE **pf, FILE **pf2)
{
    *pf = ouvrirFichier(nomSrc, "rb");
    if (*pf == nullptr)
        return RES_INTROUVABLE;
    if (memeFichier(*pf, nomDst)) {
        fclose(*pf);
        return RES_MEME_FICHIER;
    }
    *pf2 = fopen(nomDst, "wb");
    if (*pf2 == nullptr) {
        fclose(*pf);
        return RES_DESTINATION;
    }
    // The blocks are large: a stream buffer would only copy them once more.
    (void)setvbuf(*pf, nullptr, _IONBF, 0);
    (void)setvbuf(*pf2, nullptr, _IONBF, 0);
    return RES_OK;
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

int transformerFichier(const char *nomSrc, const char *nomDst, size_t tailleBloc, FonctionBloc bloc,
                       const unsigned char *tables)
{
    FILE *pf = nullptr;
    FILE *pf2 = nullptr;
    int res = ouvrirFlux(nomSrc, nomDst, &pf, &pf2);
    if (res != RES_OK)
        return res;
    size_t n;
    do {
        // fread only comes back short at the end of the file or on an error.
        n = fread(entree, 1, tailleBloc, pf);
        if (n < tailleBloc && ferror(pf)) {
            res = RES_LECTURE;
            break;
        }
        const size_t ecrit = bloc(tables, entree, n, sortie);
        if (fwrite(sortie, 1, ecrit, pf2) != ecrit) {
            res = RES_ECRITURE;
            break;
        }
    } while (n == tailleBloc);
    if (fclose(pf2) != 0 && res == RES_OK)
        res = RES_ECRITURE;
    if (fclose(pf) != 0 && res == RES_OK)
        res = RES_LECTURE;
    return res;
}
