#include "fichiers.h"

#include "matrice.h"

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

// Whole blocks of either direction: 2 * TAILLE_BLOC bytes in and out.
unsigned char entree[2 * TAILLE_BLOC];
unsigned char sortie[2 * TAILLE_BLOC];

// Where a file lives, whether it is a plain one and how long it is: device
// and inode on Linux, volume and file index on Windows.
struct Identite {
    unsigned long long volume, index, taille;
    bool ordinaire;
};

// A name is kept as the bytes that were read; only here does it meet the
// file system. On Windows that takes UTF-16 names.
#ifdef _WIN32
enum { TAILLE_LARGE = MAX_PATH };

// Whether every character beyond ASCII of the name, read in that code
// page, is a letter.
bool queDesLettres(UINT page, const char *nom)
{
    wchar_t large[TAILLE_LARGE];
    WORD types[TAILLE_LARGE];
    const int n = MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, nom, -1, large, TAILLE_LARGE);
    if (n <= 0 || !GetStringTypeW(CT_CTYPE1, large, n, types))
        return false;
    for (int i = 0; i < n; ++i)
        if (large[i] >= 0x80 && (types[i] & C1_ALPHA) == 0)
            return false;
    return true;
}

// Console input was brought to the console's code page; an answers file is
// UTF-8 when its bytes are (as editors save today), otherwise ANSI, or OEM
// when only that reading gives letters (what the command processor's echo
// writes).
UINT pageDuNom(const char *nom)
{
    DWORD mode;
    if (GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode))
        return GetConsoleCP();
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, nom, -1, nullptr, 0) > 0)
        return CP_UTF8;
    return !queDesLettres(CP_ACP, nom) && queDesLettres(CP_OEMCP, nom) ? CP_OEMCP : CP_ACP;
}

// False when the name has no UTF-16 form: it is then a name that cannot be
// opened or created, never one cut short. A letter the console lacks came
// as '?', which must match no file.
bool elargir(const char *nom, wchar_t *large)
{
    return MultiByteToWideChar(pageDuNom(nom), MB_ERR_INVALID_CHARS, nom, -1, large, TAILLE_LARGE) > 0 &&
           wcspbrk(large, L"?*") == nullptr;
}

int identiteHandle(HANDLE h, Identite *id)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (h == INVALID_HANDLE_VALUE)
        return -1;
    // A device or a pipe, or a file that cannot say what it is, is no plain
    // file: never taken for the source, never written to.
    const bool disque = GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandle(h, &info);
    *id = {disque ? info.dwVolumeSerialNumber : 0ull,
           disque ? (static_cast<unsigned long long>(info.nFileIndexHigh) << 32 | info.nFileIndexLow) : 0ull,
           disque ? (static_cast<unsigned long long>(info.nFileSizeHigh) << 32 | info.nFileSizeLow) : 0ull,
           disque && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0};
    return 0;
}

int identiteNom(const char *nom, Identite *id)
{
    wchar_t large[TAILLE_LARGE];
    if (!elargir(nom, large))
        return -1;
    // No access asked, only the identity: opening a device so does nothing.
    const HANDLE h = CreateFileW(large, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    const int r = identiteHandle(h, id);
    if (h != INVALID_HANDLE_VALUE)
        CloseHandle(h);
    return r;
}

int identiteFlux(FILE *pf, Identite *id)
{
    return identiteHandle(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(pf))), id);
}

FILE *ouvrirNom(const char *nom, const char *mode)
{
    wchar_t large[TAILLE_LARGE];
    wchar_t modeLarge[4] = {};
    for (int i = 0; i < 3 && mode[i] != '\0'; ++i)
        modeLarge[i] = static_cast<wchar_t>(mode[i]);
    return elargir(nom, large) ? _wfopen(large, modeLarge) : nullptr;
}

// Opens for writing, creating the file but not emptying it yet.
FILE *ouvrirEcriture(const char *nom)
{
    wchar_t large[TAILLE_LARGE];
    if (!elargir(nom, large))
        return nullptr;
    const HANDLE h = CreateFileW(large, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return nullptr;
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(h);
        return nullptr;
    }
    FILE *pf = _fdopen(fd, "wb");
    if (pf == nullptr)
        _close(fd);
    return pf;
}

int vider(FILE *pf)
{
    return _chsize_s(_fileno(pf), 0);
}
#else
static_assert(sizeof(off_t) == 8, "files past 2 GiB need a 64-bit off_t");

void identiteEtat(const struct stat &st, Identite *id)
{
    *id = {static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino),
           static_cast<unsigned long long>(st.st_size), S_ISREG(st.st_mode)};
}

int identiteNom(const char *nom, Identite *id)
{
    struct stat st;
    if (stat(nom, &st) != 0)
        return -1;  // not there, or a dangling link
    identiteEtat(st, id);
    return 0;
}

int identiteFlux(FILE *pf, Identite *id)
{
    struct stat st;
    if (fstat(fileno(pf), &st) != 0)
        return -1;
    identiteEtat(st, id);
    return 0;
}

FILE *ouvrirNom(const char *nom, const char *mode)
{
    return fopen(nom, mode);
}

// Opens for writing, creating the file but not emptying it yet. A named
// pipe put there meanwhile fails the open or opens at once, never blocks;
// on a plain file O_NONBLOCK changes nothing.
FILE *ouvrirEcriture(const char *nom)
{
    const int fd = open(nom, O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0)
        return nullptr;
    FILE *pf = fdopen(fd, "wb");
    if (pf == nullptr)
        close(fd);
    return pf;
}

int vider(FILE *pf)
{
    return ftruncate(fileno(pf), 0);
}
#endif

// What writing over a file with this identity would do to the source.
int comparer(const Identite &src, const Identite &dst)
{
    if (!dst.ordinaire)
        return RES_DESTINATION;
    return src.volume == dst.volume && src.index == dst.index ? RES_MEME_FICHIER : RES_OK;
}

// Opens the destination of the source open as pf, unless it is the source
// or no plain file. Looked at before the open, since opening a device or a
// pipe can act or block; looked at again on what was opened, in case the
// name changed hands meanwhile, and emptied only then. A new file is left
// as it is: emptying it would make ext4 flush it to disk when it is closed,
// which doubled the time of a large encryption.
int ouvrirDestination(FILE *pf, const char *nomDst, FILE **pf2)
{
    Identite src;
    Identite dst;
    if (identiteFlux(pf, &src) != 0)
        return RES_LECTURE;
    int res = identiteNom(nomDst, &dst) == 0 ? comparer(src, dst) : RES_OK;
    if (res != RES_OK)
        return res;
    *pf2 = ouvrirEcriture(nomDst);
    if (*pf2 == nullptr)
        return RES_DESTINATION;
    res = identiteFlux(*pf2, &dst) == 0 ? comparer(src, dst) : RES_DESTINATION;
    if (res == RES_OK && dst.taille > 0 && vider(*pf2) != 0)
        res = RES_DESTINATION;
    if (res != RES_OK)
        fclose(*pf2);
    return res;
}

// Opens the source, then the destination. Returns RES_OK with both streams
// set, or an error result with neither open.
int ouvrirFlux(const char *nomSrc, const char *nomDst, FILE **pf, FILE **pf2)
{
    *pf = ouvrirFichier(nomSrc, "rb");
    if (*pf == nullptr)
        return RES_INTROUVABLE;
    const int res = ouvrirDestination(*pf, nomDst, pf2);
    if (res != RES_OK) {
        fclose(*pf);
        return res;
    }
    // The blocks are large: a stream buffer would only copy them once more.
    (void)setvbuf(*pf, nullptr, _IONBF, 0);
    (void)setvbuf(*pf2, nullptr, _IONBF, 0);
    return RES_OK;
}

}  // namespace

FILE *ouvrirFichier(const char *nom, const char *mode)
{
    Identite id;
    // Checked before opening too, so that a named pipe cannot block the open.
    if (identiteNom(nom, &id) != 0 || !id.ordinaire)
        return nullptr;
    FILE *pf = ouvrirNom(nom, mode);
    if (pf == nullptr)
        return nullptr;
    if (identiteFlux(pf, &id) != 0 || !id.ordinaire) {
        fclose(pf);
        return nullptr;
    }
    return pf;
}

bool memeFichier(const char *nomA, const char *nomB)
{
    Identite a;
    Identite b;
    return identiteNom(nomA, &a) == 0 && a.ordinaire && identiteNom(nomB, &b) == 0 &&
           comparer(a, b) == RES_MEME_FICHIER;
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
