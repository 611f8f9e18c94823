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

// A name is kept as the bytes that were read; only here does it meet the
// file system. On Windows that takes UTF-16 names, and the 64-bit status
// keeps sizes past 2 GiB right with every C runtime.
#ifdef _WIN32
typedef struct _stat64 Etat;

enum { TAILLE_LARGE = MAX_PATH };

// A console hands over its input code page; an answers file is UTF-8 when
// its bytes are (as editors save today), otherwise ANSI.
UINT pageDuNom(const char *nom)
{
    DWORD mode;
    if (GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode))
        return GetConsoleCP();
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, nom, -1, nullptr, 0) > 0 ? CP_UTF8 : CP_ACP;
}

// False when the name has no UTF-16 form: it is then a name that cannot be
// opened or created, never one cut short.
bool elargir(const char *nom, wchar_t *large)
{
    return MultiByteToWideChar(pageDuNom(nom), MB_ERR_INVALID_CHARS, nom, -1, large, TAILLE_LARGE) > 0;
}

int etatDuNom(const char *nom, Etat *st)
{
    wchar_t large[TAILLE_LARGE];
    return elargir(nom, large) ? _wstat64(large, st) : -1;
}

int etatDuFlux(FILE *pf, Etat *st)
{
    return _fstat64(_fileno(pf), st);
}

FILE *ouvrirNom(const char *nom, const char *mode)
{
    wchar_t large[TAILLE_LARGE];
    wchar_t modeLarge[4] = {};
    for (int i = 0; i < 3 && mode[i] != '\0'; ++i)
        modeLarge[i] = static_cast<wchar_t>(mode[i]);
    return elargir(nom, large) ? _wfopen(large, modeLarge) : nullptr;
}
#else
typedef struct stat Etat;

int etatDuNom(const char *nom, Etat *st)
{
    return stat(nom, st);
}

int etatDuFlux(FILE *pf, Etat *st)
{
    return fstat(fileno(pf), st);
}

FILE *ouvrirNom(const char *nom, const char *mode)
{
    return fopen(nom, mode);
}
#endif

bool estOrdinaire(const Etat &st)
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
    wchar_t large[TAILLE_LARGE];
    if (!elargir(nomDst, large))
        return false;
    // No access asked, only the identity; a directory opens too. A name that
    // cannot be opened even so cannot be opened for writing either.
    const HANDLE hDst = CreateFileW(large, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
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
    Etat src;
    Etat dst;
    if (etatDuFlux(pf, &src) != 0)
        return true;
    if (etatDuNom(nomDst, &dst) != 0)
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
    *pf2 = ouvrirNom(nomDst, "wb");
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
    Etat st;
    // Checked before opening too, so that a named pipe cannot block the open.
    if (etatDuNom(nom, &st) != 0 || !estOrdinaire(st))
        return nullptr;
    FILE *pf = ouvrirNom(nom, mode);
    if (pf == nullptr)
        return nullptr;
    if (etatDuFlux(pf, &st) != 0 || !estOrdinaire(st)) {
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
