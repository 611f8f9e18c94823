// The file layer's Windows half: names go to the file system in UTF-16,
// read from the encoding they were typed in.
#include "fichiers.h"
#include "systeme.h"

#ifdef _WIN32
#include <cstring>
#include <cwchar>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace {

enum { TAILLE_LARGE = MAX_PATH };

// Where the answers come from, and the legacy code page of the input once
// a name has settled it (0 until then). Only here is it decided which
// encoding a name is in.
int entree = ENTREE_FICHIER;
UINT pageFixee = 0;

bool enUtf8(const char *nom)
{
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, nom, -1, nullptr, 0) > 0;
}

// Typed at the console, a name is in its code page. Otherwise a name whose
// bytes are UTF-8 is UTF-8 (as editors save today, and as UTF-16 answers
// are passed on); any other is in the input's legacy page: the settled
// one, or until then what cmd's echo sends into a pipe (OEM) or what an
// editor saves (ANSI).
UINT pageDuNom(const char *nom)
{
    if (entree == ENTREE_CONSOLE)
        return GetConsoleCP();
    if (entree == ENTREE_UTF16 || enUtf8(nom))
        return CP_UTF8;
    if (pageFixee != 0)
        return pageFixee;
    return entree == ENTREE_TUBE ? GetOEMCP() : GetACP();
}

bool barre(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

// False when the name has no UTF-16 form in that page: it is then refused,
// never cut short. A letter the console lacks came as '?', which must
// match no file; the '?' also keeps out the object namespaces (\\?\ and
// \??\), and the device one (\\.\) is kept out here: they reach
// devices, never plain files.
bool lireEn(UINT page, const char *nom, wchar_t *large)
{
    return MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, nom, -1, large, TAILLE_LARGE) > 0 &&
           wcspbrk(large, L"?*") == nullptr &&
           !(barre(large[0]) && barre(large[1]) && large[2] == L'.' && barre(large[3]));
}

bool elargir(const char *nom, wchar_t *large)
{
    return lireEn(pageDuNom(nom), nom, large);
}

// Whether the file system gave no ID.
bool sansId(const Identite &id)
{
#ifdef G4_SANS_ID
    (void)id;
    return true;  // a build that plays such a file system, for the tests
#else
    const unsigned long long uns = ~0ull;
    return (id.index == 0 && id.suite == 0) || (id.index == uns && (id.suite == 0 || id.suite == uns));
#endif
}

// The file's ID where its file system gives one: 128 bits with the volume's
// serial, or else the older 64-bit index. One that gives none (0 or all
// ones: SSHFS, some network shares) is known by its final path instead,
// read without regard to case, as two 64-bit hashes; a file whose path
// cannot be had either keeps an ID of 0, which tells nothing. A path does
// not tell a file's other links: such a file is uncertain.
void identifiant(HANDLE h, const BY_HANDLE_FILE_INFORMATION &info, Identite *id)
{
    FILE_ID_INFO fid;
    if (GetFileInformationByHandleEx(h, FileIdInfo, &fid, sizeof fid)) {
        id->volume = fid.VolumeSerialNumber;
        memcpy(&id->index, fid.FileId.Identifier, sizeof id->index);
        memcpy(&id->suite, fid.FileId.Identifier + sizeof id->index, sizeof id->suite);
    } else {
        id->volume = info.dwVolumeSerialNumber;
        id->index = static_cast<unsigned long long>(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
        id->suite = 0;
    }
    if (!sansId(*id))
        return;
    id->index = id->suite = 0;
    id->incertain = info.nNumberOfLinks > 1;
    static wchar_t chemin[32768];
    const DWORD n = GetFinalPathNameByHandleW(h, chemin, 32768, FILE_NAME_NORMALIZED | VOLUME_NAME_NT);
    if (n == 0 || n >= 32768)
        return;
    CharUpperBuffW(chemin, n);
    // FNV-1a over the UTF-16 units, forwards and backwards.
    unsigned long long a = 14695981039346656037ull, b = a;
    for (DWORD i = 0; i < n; ++i) {
        a = (a ^ chemin[i]) * 1099511628211ull;
        b = (b ^ chemin[n - 1 - i]) * 1099511628211ull;
    }
    id->index = a | 1;  // never 0
    id->suite = b;
}

int identiteHandle(HANDLE h, Identite *id)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (h == INVALID_HANDLE_VALUE)
        return -1;
    // A device or a pipe, or a file that cannot say what it is, is no plain
    // file: never taken for the source, never written to.
    const bool disque = GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandle(h, &info);
    *id = {};
    id->taille = disque ? (static_cast<unsigned long long>(info.nFileSizeHigh) << 32 | info.nFileSizeLow) : 0;
    id->ordinaire = disque && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    if (disque)
        identifiant(h, info, id);
    return 0;
}

int identiteLarge(const wchar_t *large, Identite *id)
{
    // No access asked, only the identity: opening a device so does nothing.
    const HANDLE h = CreateFileW(large, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    const int r = identiteHandle(h, id);
    if (h != INVALID_HANDLE_VALUE)
        CloseHandle(h);
    return r;
}

}  // namespace

void annoncerEntree(int nature)
{
    entree = nature;
}

namespace {

// The letters of French, either case, that a legacy page may hold.
bool francaise(UINT page, unsigned char o)
{
    wchar_t c;
    return MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, reinterpret_cast<const char *>(&o), 1, &c, 1) == 1 &&
           c != 0 && wcschr(L"àâäçéèêëîïôöùûüÿœæÀÂÄÇÉÈÊËÎÏÔÖÙÛÜŸŒÆ’€", c) != nullptr;
}

}  // namespace

void jugerEntree(const unsigned char *octets, size_t n)
{
    if (entree != ENTREE_TUBE && entree != ENTREE_FICHIER)
        return;
    const UINT pages[2] = {GetOEMCP(), GetACP()};
    bool possible[2] = {true, true};
    // A character cut by the end of the block says nothing either way.
    for (size_t i = 0; i < n;) {
        const size_t l = caractereUtf8(octets + i, n - i);
        if (l == 0) {
            for (int p = 0; p < 2; ++p)
                possible[p] = possible[p] && francaise(pages[p], octets[i]);
            ++i;
        } else {
            i += l;
        }
    }
    if (possible[0] != possible[1])
        pageFixee = pages[possible[0] ? 0 : 1];
}

int nomAffiche(const char *nom, wchar_t *large, int n)
{
    return MultiByteToWideChar(pageDuNom(nom), 0, nom, -1, large, n);
}

// A name whose OEM and ANSI readings differ names a plain file under
// exactly one of them: that is the input's page from now on. Under both,
// as two different files, nothing tells which was meant.
bool reconnaitrePage(const char *nom)
{
    if (pageFixee != 0 || pageDuNom(nom) == CP_UTF8 || entree == ENTREE_CONSOLE)
        return true;
    const UINT pages[2] = {GetOEMCP(), GetACP()};
    wchar_t large[2][TAILLE_LARGE];
    Identite id[2];
    bool existe[2];
    for (int i = 0; i < 2; ++i)
        existe[i] = lireEn(pages[i], nom, large[i]) && identiteLarge(large[i], &id[i]) == 0 && id[i].ordinaire;
    if (existe[0] != existe[1]) {
        pageFixee = pages[existe[0] ? 0 : 1];
        return true;
    }
    return !existe[0] || (id[0].volume == id[1].volume && id[0].index == id[1].index && id[0].suite == id[1].suite);
}

int identiteNom(const char *nom, Identite *id)
{
    wchar_t large[TAILLE_LARGE];
    return elargir(nom, large) ? identiteLarge(large, id) : -1;
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

// A new file takes its folder's access rules.
FILE *ouvrirEcriture(const char *nom, unsigned, bool nouveau)
{
    wchar_t large[TAILLE_LARGE];
    if (!elargir(nom, large))
        return nullptr;
    const HANDLE h = CreateFileW(large, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 nouveau ? CREATE_NEW : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
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

int supprimer(const char *nom)
{
    wchar_t large[TAILLE_LARGE];
    return elargir(nom, large) && DeleteFileW(large) ? 0 : -1;
}

// The key stays open for the run, shared for reading and writing but not
// for deleting: it can be neither deleted nor renamed meanwhile. On FAT32
// and exFAT a file's ID is where its directory entry sits, which either
// would give to the next file created there.
void retenir(FILE *pf)
{
    (void)ReOpenFile(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(pf))), GENERIC_READ,
                     FILE_SHARE_READ | FILE_SHARE_WRITE, 0);
}

// A colon anywhere but after a leading drive letter (C:nom) names a
// stream of a file, where the output would hide, or be added to the
// source itself.
bool destinationPermise(const char *nom)
{
    const char *deuxPoints = strchr(nom, ':');
    const bool lecteur =
        deuxPoints == nom + 1 && ((nom[0] >= 'A' && nom[0] <= 'Z') || (nom[0] >= 'a' && nom[0] <= 'z'));
    return deuxPoints == nullptr || (lecteur && strchr(nom + 2, ':') == nullptr);
}

// Reads only: a mapped page that can no longer be read raises an exception
// there, which this program, built without them, could not turn into a read
// error.
void commencerLecture(FILE *, unsigned long long) {}

int blocCarte(size_t, const unsigned char **)
{
    return 0;
}

bool transformerBloc(FonctionBloc bloc, const unsigned char *tables, const unsigned char *src, size_t n,
                     unsigned char *dst, size_t *ecrit)
{
    *ecrit = bloc(tables, src, n, dst);
    return true;
}

void finirLecture() {}

#endif
