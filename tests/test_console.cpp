#include "outils.h"

#include <algorithm>
#include <chrono>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <regex>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

// Each file of tests/sessions holds the answers on its first line, what the
// file "d" must hold afterwards on the second ("-" for nothing, "clair" for
// the plain file, "ancien" for the older encrypted file decoded), then the
// exact output, with <efface> where the screen is cleared and <H> for a
// date and time.
namespace {

struct Transcription {
    std::string entree, d, attendu;
};

Transcription charger(const std::string &nom)
{
    const std::string texte = lire(std::string(SESSIONS) + "/" + nom);
    const size_t l1 = texte.find('\n'), l2 = texte.find('\n', l1 + 1);
    return {texte.substr(0, l1), texte.substr(l1 + 1, l2 - l1 - 1), texte.substr(l2 + 1)};
}

std::vector<std::string> sessions()
{
    std::vector<std::string> noms;
    for (const auto &f : std::filesystem::directory_iterator(SESSIONS))
        noms.push_back(f.path().filename().string());
    std::sort(noms.begin(), noms.end());
    return noms;
}

// Set for the Windows runs: the same sessions then go through that
// executable under Wine.
const char *const exeWindows = getenv("G4_WINDOWS_EXE");

// Set but not built: the windows check was skipped for want of its tools.
bool windowsAbsent()
{
    return exeWindows != nullptr && !std::filesystem::exists(exeWindows);
}

// The output as a transcript: clears marked, times and carriage returns gone.
std::string transcrire(const std::string &sortie, const std::string &efface)
{
    std::string s;
    for (size_t i = 0; i < sortie.size(); ++i)
        if (sortie.compare(i, efface.size(), efface) == 0) {
            s += "<efface>";
            i += efface.size() - 1;
        } else if (sortie[i] != '\r') {
            s += sortie[i];
        }
    static const std::regex heure("\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d,\\d\\d");
    return std::regex_replace(s, heure, "<H>");
}

// On Windows a clear is whatever cls writes into a pipe (nothing under Wine,
// a form feed elsewhere), a stamp is the console's own date and time, and
// the accent is one byte of its code page (Windows-1252 or 850).
std::string transcrireWindows(std::string sortie)
{
    sortie.erase(std::remove_if(sortie.begin(), sortie.end(), [](char c) { return c == '\r' || c == '\f'; }),
                 sortie.end());
    std::replace(sortie.begin(), sortie.end(), '\x82', '\xE9');
    static const std::regex heure("((?:Debut|Fin) du [^ \n]+) [^\n]*");
    return std::regex_replace(sortie, heure, "$1 <H>");
}

std::string attenduWindows(const std::string &attendu)
{
    return std::regex_replace(std::regex_replace(attendu, std::regex("<efface>"), ""), std::regex("\xC3\xA9"), "\xE9");
}

// A directory with matrix files, a plain file and an older encrypted file.
struct Atelier : Dossier {
    const std::string clair = std::string("Bonjour\0\xff\n", 10);
    Atelier()
    {
        ecrire(*this / "g4", G1);
        ecrire(*this / "g20", "10001110 01001101 0010");
        ecrire(*this / "uns", std::string(32, '1'));
        ecrire(*this / "clair", clair);
        ecrire(*this / "code", "\x4D\x17\x4D\x17");  // "AA"
    }
};

struct Session {
    std::string sortie;
    int statut;
    double secondes;
};

const std::string LINUX = "timeout 10 " G4CRYPT;

// The program under test: this build, or the Windows one under Wine.
std::string programme()
{
    return exeWindows == nullptr ? LINUX : "timeout 60 wine '" + std::string(exeWindows) + "'";
}

// Runs the program in the directory with the answers piped in.
Session parTube(const Dossier &d, const std::string &entree, const std::string &prog = programme())
{
    ecrire(d / ".entree", entree);
    const std::string commande = "cd '" + d.chemin.string() + "' && " + prog + " --aide inutile < .entree > .sortie";
    const auto debut = std::chrono::steady_clock::now();
    const int brut = system(commande.c_str());
    const std::chrono::duration<double> duree = std::chrono::steady_clock::now() - debut;
    return {lire(d / ".sortie"), WIFEXITED(brut) ? WEXITSTATUS(brut) : -1, duree.count()};
}

// Runs it under a pseudo-terminal that does not echo, so that only the
// program's output comes back; end of input is a ^D on a line of its own.
Session parTerminal(const Dossier &d, const std::string &entree)
{
    struct termios t = {};
    t.c_iflag = ICRNL;
    t.c_oflag = OPOST | ONLCR;
    t.c_cflag = CS8 | CREAD;
    t.c_lflag = ICANON | ISIG;
    t.c_cc[VEOF] = 4;
    int maitre = -1;
    const pid_t pid = forkpty(&maitre, nullptr, &t, nullptr);
    if (pid == 0) {
        if (chdir(d.chemin.c_str()) == 0)
            execl(G4CRYPT, "g4crypt", static_cast<char *>(nullptr));
        _exit(127);
    }
    const std::string frappe = entree + "\n\x04";
    Session s{"", -1, 0};
    if (pid < 0 || write(maitre, frappe.data(), frappe.size()) != static_cast<ssize_t>(frappe.size()))
        return s;
    char tampon[4096];
    struct pollfd p = {maitre, POLLIN, 0};
    ssize_t n = 0;
    while (poll(&p, 1, 5000) > 0 && (n = read(maitre, tampon, sizeof tampon)) > 0)
        s.sortie.append(tampon, static_cast<size_t>(n));
    close(maitre);
    int brut = 0;
    waitpid(pid, &brut, 0);
    s.statut = WIFEXITED(brut) ? WEXITSTATUS(brut) : -1;
    return s;
}

class Sessions : public testing::TestWithParam<std::string> {
protected:
    void verifier(const Session &s, const std::string &efface)
    {
        const Transcription t = charger(GetParam());
        EXPECT_EQ(s.statut, 0);
        if (exeWindows == nullptr)
            EXPECT_EQ(transcrire(s.sortie, efface), t.attendu);
        else
            EXPECT_EQ(transcrireWindows(s.sortie), attenduWindows(t.attendu));
        EXPECT_EQ(lire(d / "clair"), d.clair);
        const std::string code = lire(d / "code");
        EXPECT_TRUE(code == "\x4D\x17\x4D\x17" || code.size() == 2 * d.clair.size());
        EXPECT_EQ(std::filesystem::exists(d / "d"), t.d != "-");
        if (t.d != "-") {
            EXPECT_EQ(lire(d / "d"), t.d == "clair" ? d.clair : "AA");
        }
    }
    Atelier d;
};

TEST_P(Sessions, ParUnTube)
{
    if (windowsAbsent())
        GTEST_SKIP() << "no Windows executable";
    verifier(parTube(d, charger(GetParam()).entree), "\f");
}

TEST_P(Sessions, ParUnTerminal)
{
    if (exeWindows != nullptr)
        GTEST_SKIP() << "Linux build only";
    const Session s = parTerminal(d, charger(GetParam()).entree);
    EXPECT_EQ(s.sortie.find('\f'), std::string::npos);
    verifier(s, "\x1b[H\x1b[2J");
}

INSTANTIATE_TEST_SUITE_P(Transcriptions, Sessions, testing::ValuesIn(sessions()),
                         [](const testing::TestParamInfo<std::string> &i) {
                             return i.param.substr(0, i.param.find('.'));
                         });

TEST(Fin, FinDeLEntreeAChaqueQuestion)
{
    for (const char *entree :
         {"", "   \n\n", "g4", "g4 5", "g4 1", "g4 1 clair", "g4 2", "g4 2 code", "g4 3", "g4 3 clair",
          "g4 3 clair code", "g4 3 absent nouveau d", "g4 1 absent code", "g4 1 clair code", "g4 1 clair code 1"}) {
        Atelier d;
        const Session s = parTube(d, entree);
        EXPECT_EQ(s.statut, 0) << entree;
        EXPECT_LT(s.secondes, 1.0) << entree;
        EXPECT_EQ(s.sortie.substr(s.sortie.size() - 2), "\n\n") << entree;
    }
}

TEST(Fin, ReponsesQuiTerminent)
{
    for (const char *reponse : {"2", "7", "0", "non", "-1"}) {
        Atelier d;
        const Session s = parTube(d, std::string("g4 1 clair code ") + reponse);
        EXPECT_EQ(s.statut, 0) << reponse;
        EXPECT_EQ(s.sortie.substr(s.sortie.size() - 12), "1.oui\n2.non\n") << reponse;
    }
}

// The same file under other names is refused with the source intact, and
// names with either slash work.
TEST(Windows, MemeFichierSousDAutresNoms)
{
    if (exeWindows == nullptr || windowsAbsent())
        GTEST_SKIP() << "no Windows executable";
    Atelier d;
    ASSERT_EQ(link((d / "clair").c_str(), (d / "dur").c_str()), 0);
    ASSERT_EQ(symlink("clair", (d / "lien").c_str()), 0);
    for (const std::string nom : {"dur", "lien", "CLAIR", ".\\clair"}) {
        const Session s = parTube(d, "g4 1 clair " + nom);
        EXPECT_NE(s.sortie.find("Erreur, fichier " + nom + " identique au fichier source."), std::string::npos) << nom;
        EXPECT_EQ(lire(d / "clair"), d.clair) << nom;
    }
}

// Encrypted files are the same bytes on both platforms and decode on either.
TEST(Windows, MemesOctetsQueSousLinux)
{
    if (exeWindows == nullptr || windowsAbsent())
        GTEST_SKIP() << "no Windows executable";
    Atelier d;
    std::string gros(600001, '\0');  // a few blocks, and an odd length
    for (size_t i = 0; i < gros.size(); ++i)
        gros[i] = static_cast<char>(i * 7 + i / 256);
    ecrire(d / "gros", gros);
    std::filesystem::create_directory(d / "sous");
    EXPECT_EQ(parTube(d, "g4 3 gros sous/w.g4 sous\\w.d 2").statut, 0);
    EXPECT_EQ(parTube(d, "g4 1 gros l.g4 2", LINUX).statut, 0);
    EXPECT_EQ(parTube(d, "g4 2 sous/w.g4 l.d 2", LINUX).statut, 0);
    EXPECT_EQ(parTube(d, "g4 2 l.g4 sous\\w2.d 2").statut, 0);
    EXPECT_EQ(lire(d / "l.g4").size(), 2 * gros.size());
    EXPECT_TRUE(lire(d / "sous/w.g4") == lire(d / "l.g4"));
    for (const char *retour : {"sous/w.d", "l.d", "sous/w2.d"})
        EXPECT_TRUE(lire(d / retour) == gros) << retour;
}

}  // namespace
