#include "fichiers.h"
#include "matrice.h"
#include "outils.h"
#include "vecteur.h"

#include <array>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/magic.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

using namespace std::string_literals;

namespace {

// A matrix file, through the reader.
struct Matrice {
    char str[TAILLE_STR] = {};
    double init[4] = {};
    explicit Matrice(const char *fichier) { EXPECT_EQ(matriceDecod(fichier, init, str), 0) << fichier; }
};

// Each file transformation, called the same way.
using Operation = int (*)(const char *, const char *, const Matrice &);
int crypt(const char *a, const char *b, const Matrice &m)
{
    return cryptfich(a, b, m.str);
}
int dcrypt(const char *a, const char *b, const Matrice &m)
{
    return dcryptfich(a, b, m.init);
}

// What the destination holds after a successful transformation of entree.
std::string transformer(Operation op, const Matrice &m, const std::string &entree)
{
    Dossier d;
    ecrire(d / "a", entree);
    EXPECT_EQ(op((d / "a").c_str(), (d / "b").c_str(), m), RES_OK);
    return lire(d / "b");
}

// Each file of tests/matrices is a matrix file named RESULT_POSITIONS_what,
// the positions being the identity columns of rows 0 to 3.
class FichierMatrice : public testing::TestWithParam<std::string> {};

TEST_P(FichierMatrice, ResultatEtPositions)
{
    const std::string nom = std::string(MATRICES) + "/" + GetParam(), contenu = lire(nom);
    char str[TAILLE_STR];
    double init[4] = {-1, -1, -1, -1};
    ASSERT_EQ(matriceDecod(nom.c_str(), init, str), GetParam()[0] - '0');
    if (GetParam()[0] != '0')
        return;
    for (int r = 0; r < 4; ++r)
        EXPECT_EQ(init[r], GetParam()[2 + r] - '0') << "ligne " << r;
    std::string chiffres;
    std::copy_if(contenu.begin(), contenu.end(), std::back_inserter(chiffres),
                 [](char c) { return c == '0' || c == '1'; });
    EXPECT_EQ(std::string(str), chiffres);
}

INSTANTIATE_TEST_SUITE_P(Fichiers, FichierMatrice, testing::ValuesIn(fichiers(MATRICES)),
                         [](const testing::TestParamInfo<std::string> &i) {
                             return i.param.substr(7, i.param.find('.') - 7);
                         });

TEST(Codec, VecteursConnus)
{
    const struct {
        const char *matrice;
        std::string clair, code;
    } vecteurs[] = {{G1, "\x41\x00\xFF"s, "\x4D\x17\x00\x00\xFF\xFF"s}, {G2, "\x41\xFF"s, "\x64\xC1\xD7\xD7"s}};
    for (const auto &v : vecteurs) {
        EXPECT_EQ(transformer(crypt, Matrice(v.matrice), v.clair), v.code) << v.matrice;
        EXPECT_EQ(transformer(dcrypt, Matrice(v.matrice), v.code), v.clair) << v.matrice;
    }
    EXPECT_EQ(transformer(dcrypt, Matrice(G2), "\x4D\x17"), "\x5F");  // another matrix's identity columns
}

// The vector path and the forced table path give the same bytes, encoding
// and decoding alike, on every pair of bytes (code words or not) and at odd
// lengths around the vector width and the block size; decoding undoes
// encoding.
TEST(Codec, LesDeuxCheminsDonnentLesMemesOctets)
{
#if defined(__x86_64__) || defined(__i386__)
    EXPECT_EQ(cheminVecteur(), __builtin_cpu_supports("ssse3") != 0);
#elif defined(__aarch64__)
    EXPECT_TRUE(cheminVecteur());
#endif
    std::string paires;
    for (int i = 0; i < 65536; ++i)
        paires += {static_cast<char>(i >> 8), static_cast<char>(i)};
    const size_t B = TAILLE_BLOC;
    for (const char *fichier : {G1, G2, G3}) {
        const Matrice m(fichier);
        for (const size_t n : std::initializer_list<size_t>{0, 1, 15, 16, 17, 31, 32, 33, 63, 65, B - 1, B, B + 1,
                                                            2 * B + 1, paires.size()}) {
            const std::string entree = n == paires.size() ? paires : motif(n);
            std::string code[2], decode[2];
            for (const int chemin : {CHEMIN_TABLE, CHEMIN_AUTO}) {
                forcerChemin(chemin);
                code[chemin] = transformer(crypt, m, entree);
                decode[chemin] = transformer(dcrypt, m, entree);
                EXPECT_TRUE(transformer(dcrypt, m, code[chemin] + 'M') == entree) << fichier << n << chemin;
            }
            EXPECT_EQ(code[0].size(), 2 * n);
            EXPECT_TRUE(code[0] == code[1]) << fichier << " n=" << n;
            EXPECT_TRUE(decode[0] == decode[1]) << fichier << " n=" << n;
        }
    }
    // Other rows with the same identity columns decode as well.
    EXPECT_EQ(
        transformer(dcrypt, Matrice(MATRICES "/0_0123_identite_seule.txt"), transformer(crypt, Matrice(G1), "G4")),
        "G4");
}

class Fichiers : public testing::TestWithParam<Operation> {};

TEST_P(Fichiers, RefusSansFuiteNiDestruction)
{
    Dossier d;
    const std::string source = d / "src", contenu = motif(3 * TAILLE_BLOC);
    ecrire(source, contenu);
    ASSERT_EQ(symlink("src", (d / "lien").c_str()) | mkfifo((d / "tube").c_str(), 0600), 0);
    const Matrice m(G1);
    const auto descripteurs = [] { return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}); };
    const auto ouverts = descripteurs();
    // A destination that is there but is no plain file is never opened for
    // writing: a named pipe would block the open.
    for (const auto &[nom, res] : std::vector<std::pair<std::string, int>>{{source, RES_MEME_FICHIER},
                                                                           {d / "lien", RES_MEME_FICHIER},
                                                                           {d / "pas/la", RES_DESTINATION},
                                                                           {d.chemin.string(), RES_DESTINATION},
                                                                           {d / "tube", RES_DESTINATION},
                                                                           {"/dev/null", RES_DESTINATION}})
        EXPECT_EQ(GetParam()(source.c_str(), nom.c_str(), m), res) << nom;
    EXPECT_EQ(GetParam()(d.chemin.c_str(), (d / "dst").c_str(), m), RES_INTROUVABLE);
    EXPECT_EQ(GetParam()((d / "absent").c_str(), G1, m), RES_INTROUVABLE);  // said before the key is
    // The open itself never waits for a writer, should a named pipe take a
    // source's place after its name was looked at.
    alarm(10);
    EXPECT_EQ(ouvrirLecture((d / "tube").c_str(), "rb"), nullptr);
    alarm(0);
    EXPECT_FALSE(std::filesystem::exists(d / "dst"));
    EXPECT_EQ(descripteurs(), ouverts);  // nothing left open by a refusal
    // A matrix file deleted once read gives its number to the next new file
    // where it is not held open: past half the descriptors, or never. That
    // file, created by the call, is none of the keys, and is taken, new and
    // then existing. Held open, a key keeps its number from it. Three keys
    // held, then keys not held until one's number is taken, as others' files
    // may take them first. In a process of its own, where a key left behind,
    // whose number a file of this test may take, is no trouble.
    const pid_t fils = fork();
    if (fils == 0) {
        struct rlimit limite;
        int faute = getrlimit(RLIMIT_NOFILE, &limite), repris = 0;
        for (int i = 0; i < 23 && (i < 6 || repris == 0); ++i) {
            const bool tenu = i < 3;
            const std::string nom = "k" + std::to_string(i);
            // The key gets the lowest free descriptor, and its copy the next.
            const int premier = open("/dev/null", O_RDONLY), second = open("/dev/null", O_RDONLY);
            const struct rlimit basse = {tenu ? limite.rlim_cur : static_cast<rlim_t>(2 * second), limite.rlim_max};
            std::filesystem::copy_file(G2, d / nom);
            struct stat cle, nouveau;
            faute |= close(premier) | close(second) | stat((d / nom).c_str(), &cle) | setrlimit(RLIMIT_NOFILE, &basse);
            const Matrice k((d / nom).c_str());
            faute |= setrlimit(RLIMIT_NOFILE, &limite) | remove((d / nom).c_str());
            const std::string dst = d / (nom + "n");
            for (int fois = 0; fois < 2; ++fois)  // new, then existing
                faute |= GetParam()(source.c_str(), dst.c_str(), m) != RES_OK;
            faute |= stat(dst.c_str(), &nouveau) != 0 || (tenu && nouveau.st_ino == cle.st_ino);
            repris += nouveau.st_ino == cle.st_ino;
        }
        struct statfs fs;
        _exit(faute != 0 || statfs(d.chemin.c_str(), &fs) != 0 ? 1
              : fs.f_type == EXT4_SUPER_MAGIC && repris == 0   ? 2
                                                               : 0);
    }
    int statut = -1;
    ASSERT_EQ(waitpid(fils, &statut, 0), fils);
    EXPECT_EQ(statut, 0) << "1: a new destination refused, or a held key's number taken; 2: ext4 gave no number again";

    // An existing destination is replaced, and the source left as it was.
    ecrire(d / "dst", std::string(7 * TAILLE_BLOC, 'y'));
    EXPECT_EQ(GetParam()(source.c_str(), (d / "dst").c_str(), m), RES_OK);
    EXPECT_TRUE(lire(d / "dst") == transformer(GetParam(), m, contenu));
    EXPECT_TRUE(lire(source) == contenu);
    ecrire(d / "vide", "");
    EXPECT_EQ(GetParam()((d / "vide").c_str(), (d / "dst").c_str(), m), RES_OK);
    EXPECT_EQ(lire(d / "dst"), "");
}

// A new destination is made as cp makes a copy: the source's read, write
// and execute bits, never setuid, setgid or sticky, less the umask. An
// existing one keeps its own.
TEST_P(Fichiers, DroitsCommeUneCopie)
{
    const mode_t avant = umask(0);
    const Matrice m(G1);
    for (const auto &[source, masque, attendu] : std::vector<std::array<mode_t, 3>>{
             {0600, 022, 0600}, {0644, 077, 0600}, {0640, 027, 0640}, {0755, 022, 0755}, {07777, 0, 0777}}) {
        Dossier d;
        ecrire(d / "src", "x");
        ecrire(d / "existant", "y");
        ASSERT_EQ(chmod((d / "src").c_str(), source) | chmod((d / "existant").c_str(), 0604), 0);
        umask(masque);
        for (const char *dst : {"nouveau", "existant"}) {
            EXPECT_EQ(GetParam()((d / "src").c_str(), (d / dst).c_str(), m), RES_OK);
            struct stat st;
            ASSERT_EQ(stat((d / dst).c_str(), &st), 0);
            EXPECT_EQ(st.st_mode & 07777, dst[0] == 'n' ? attendu : 0604) << std::oct << source << " " << masque;
        }
    }
    umask(avant);
}

// The progress hook hears the operation start, each block, and its end;
// a refusal before anything is read, nothing. A source cut short once its
// first block is done, so that a later block is no longer all there, or its
// last page only in part, or only its last byte is gone, fails to be read.
std::vector<std::array<unsigned long long, 3>> etapes;
unsigned long long coupe = 0;
std::string coupee;
bool envoyer = false;  // a SIGBUS from another process as the first block is done

TEST_P(Fichiers, ProgresDuDebutALaFin)
{
    Dossier d;
    const unsigned long long B = GetParam() == crypt ? TAILLE_BLOC : 2 * TAILLE_BLOC, n = 2 * B + 1;
    coupee = d / "src";
    suivreProgres([](int etape, unsigned long long fait, unsigned long long total) {
        etapes.push_back({static_cast<unsigned long long>(etape), fait, total});
        if (etape == PROGRES_BLOC && ((envoyer && raise(SIGBUS) != 0) ||
                                      (coupe > 0 && truncate(coupee.c_str(), static_cast<off_t>(coupe)) != 0)))
            std::abort();
        envoyer = envoyer && etape != PROGRES_BLOC;
    });
    const Matrice m(G1);
    // Also from a parent that blocks SIGBUS, whose mask is given back, and
    // that holds one pending, which stays held: where a raised SIGBUS can be
    // seen pending, which qemu-user does not show.
    sigset_t bus, pendants;
    sigemptyset(&bus);
    sigaddset(&bus, SIGBUS);
    const struct timespec zero = {};
    const pid_t essai = fork();
    if (essai == 0)
        _exit(sigprocmask(SIG_BLOCK, &bus, nullptr) | raise(SIGBUS) | sigpending(&pendants) |
              !sigismember(&pendants, SIGBUS));
    int statut = -1;
    ASSERT_EQ(waitpid(essai, &statut, 0), essai);
    // Last, from a parent that ignores SIGBUS, one sent meanwhile is ignored
    // and a page cut away still a read error.
    struct sigaction ignore = {}, action;
    ignore.sa_handler = SIG_IGN;
    for (const int mode : {0, 1, statut == 0 ? 2 : 1, 3})
        for (const unsigned long long c : {0ull, B + 100, 2 * B - 100, 2 * B}) {
            const bool bloque = mode == 1 || mode == 2;
            sigset_t avant, apres;
            ASSERT_EQ(sigprocmask(bloque ? SIG_BLOCK : SIG_UNBLOCK, &bus, &avant), 0);
            ASSERT_EQ((mode == 2 ? raise(SIGBUS) : 0) | sigaction(SIGBUS, mode == 3 ? &ignore : nullptr, &action), 0);
            envoyer = mode == 3;
            coupe = c;
            ecrire(d / "src", motif(n));
            EXPECT_EQ(GetParam()((d / "src").c_str(), d.chemin.c_str(), m), RES_DESTINATION);
            EXPECT_EQ(GetParam()((d / "src").c_str(), (d / "dst").c_str(), m), c == 0 ? RES_OK : RES_LECTURE);
            EXPECT_TRUE(c > 0 || etapes == (std::vector<std::array<unsigned long long, 3>>{{PROGRES_DEBUT, 0, n},
                                                                                           {PROGRES_BLOC, B, n},
                                                                                           {PROGRES_BLOC, 2 * B, n},
                                                                                           {PROGRES_BLOC, n, n},
                                                                                           {PROGRES_FIN, n, n}}));
            EXPECT_EQ(etapes.back()[0], PROGRES_FIN) << c;
            // The destination holds what was done before the failure, no more.
            const unsigned long long fait = etapes.back()[1];
            EXPECT_EQ(lire(d / "dst").size(), GetParam() == crypt ? 2 * fait : fait / 2) << c;
            etapes.clear();
            EXPECT_EQ(sigtimedwait(&bus, nullptr, &zero) == SIGBUS, mode == 2) << c;
            ASSERT_EQ(sigprocmask(SIG_SETMASK, &avant, &apres) | sigaction(SIGBUS, &action, nullptr), 0);
            EXPECT_EQ(sigismember(&apres, SIGBUS), bloque) << c;
        }
    suivreProgres(nullptr);
    // A size of 0 that still holds data, or a size that it does not hold,
    // is read as it comes, and whole.
    for (const char *pseudo : {"/proc/version", "/sys/devices/system/cpu/online"}) {
        struct stat st;
        ASSERT_EQ(stat(pseudo, &st), 0);
        const std::string contenu = lire(pseudo);
        ASSERT_NE(static_cast<size_t>(st.st_size), contenu.size()) << pseudo;
        EXPECT_EQ(GetParam()(pseudo, (d / "pseudo").c_str(), m), RES_OK) << pseudo;
        EXPECT_EQ(lire(d / "pseudo"), transformer(GetParam(), m, contenu)) << pseudo;
    }
}

// A SIGBUS sent while a source is read is no unreadable page: it ends the
// program, as it would without the handler held around the reading.
TEST(FichiersDeathTest, UnSigbusEnvoyeTermine)
{
    Dossier d;
    ecrire(d / "src", motif(3 * TAILLE_BLOC));
    const Matrice m(G1);
    suivreProgres([](int etape, unsigned long long, unsigned long long) {
        static bool envoye = false;
        if (etape == PROGRES_BLOC && !envoye) {
            envoye = true;
            raise(SIGBUS);
        }
    });
    EXPECT_DEATH(cryptfich((d / "src").c_str(), (d / "dst").c_str(), m.str), "");
    suivreProgres(nullptr);
}

INSTANTIATE_TEST_SUITE_P(Operations, Fichiers, testing::Values(crypt, dcrypt),
                         [](const testing::TestParamInfo<Operation> &i) {
                             return std::string(i.param == crypt ? "crypt" : "dcrypt");
                         });

}  // namespace
