#include "fichiers.h"
#include "matrice.h"
#include "outils.h"
#include "progres.h"

#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <iconv.h>
#include <poll.h>
#include <pty.h>
#include <regex>
#include <sys/stat.h>
#include <sys/times.h>
#include <sys/wait.h>
#include <unistd.h>

// Each file of tests/sessions holds the answers on its first line (\r, \n,
// \f, \v and \t as escapes), what the file "d" must hold afterwards on the
// second ("-" for nothing, "clair" for the plain file, "ancien" for the
// older encrypted file decoded), then the exact output, with <efface> where
// the screen is cleared and <H> for a date and time. Files named linux_ or
// windows_ run on that platform only.
using namespace std::string_literals;

namespace {

// Set for the Windows runs, to the command that runs the Windows build
// under Wine: the same sessions then go through it.
const char *const exeWindows = getenv("G4_WINDOWS");

struct Transcription {
    std::string entree, d, attendu;
};

Transcription charger(const std::string &nom)
{
    const std::string texte = lire(std::string(SESSIONS) + "/" + nom);
    const size_t l1 = texte.find('\n'), l2 = texte.find('\n', l1 + 1);
    std::string entree = texte.substr(0, l1);
    for (const char *echappe : {"\\r\r", "\\n\n", "\\f\f", "\\v\v", "\\t\t"})
        for (size_t p; (p = entree.find(echappe, 0, 2)) != std::string::npos;)
            entree.replace(p, 2, 1, echappe[2]);
    return {entree, texte.substr(l1 + 1, l2 - l1 - 1), texte.substr(l2 + 1)};
}

std::string remplacer(const std::string &s, const char *motif, const char *par)
{
    return std::regex_replace(s, std::regex(motif), par);
}

// The output as a transcript: clears marked, stamps as <H>, carriage returns
// gone. On Windows a clear is whatever cls writes into a pipe (nothing under
// Wine, a form feed elsewhere), so clears are left out on both sides; a
// stamp is whatever the console prints after the label, and the accent one
// byte of its code page (Windows-1252 or 850).
std::string transcrire(const std::string &sortie, const char *efface)
{
    const std::string s = remplacer(sortie, "\r", "");
    if (exeWindows == nullptr)
        return remplacer(remplacer(s, efface, "<efface>"), "\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d,\\d\\d", "<H>");
    return remplacer(remplacer(remplacer(s, "\f", ""), "\x82", "\xE9"), "((?:Debut|Fin) du [^ ]+) .*", "$1 <H>");
}

// A build that acts as without file IDs tells files by their paths, and
// refuses a hard link, which a path does not tell from another file.
std::string attendu(const std::string &transcription)
{
    if (exeWindows == nullptr)
        return transcription;
    const std::string t = remplacer(remplacer(transcription, "<efface>", ""), "\xC3\xA9", "\xE9");
    return strstr(exeWindows, "sans-id") == nullptr
               ? t
               : remplacer(t, "dur identique au fichier source", "dur impossible a creer");
}

// A directory with matrix files (g4 with a link to it, cle; autre), a plain file
// with two links to it, a dangling link, an older encrypted file, a file too large to
// transform under the file size limit of the piped runs, and a named pipe.
struct Atelier : Dossier {
    const std::string clair = std::string("Bonjour\0\xff\n", 10), gros = motif(1 << 20);
    std::string codeClair;  // clair encrypted with g4
    Atelier()
    {
        std::filesystem::copy_file(G1, *this / "g4");
        std::filesystem::copy_file(G2, *this / "autre");
        ecrire(*this / "gros", gros);
        ecrire(*this / "clair", clair);
        char str[TAILLE_STR];
        double init[4];
        if (matriceDecod(G1, init, str) != 0 ||
            cryptfich((*this / "clair").c_str(), (*this / ".ref").c_str(), str) != 0)
            std::abort();
        codeClair = lire(*this / ".ref");
        ecrire(*this / "g20", "10001110 01001101 0010");
        ecrire(*this / "uns", std::string(32, '1'));
        ecrire(*this / "code", "\x4D\x17\x4D\x17");  // "AA"
        if (link((*this / "clair").c_str(), (*this / "dur").c_str()) != 0 ||
            symlink("clair", (*this / "lien").c_str()) || symlink("g4", (*this / "cle").c_str()) ||
            symlink("ailleurs", (*this / "pendant").c_str()) || mkfifo((*this / "tube").c_str(), 0600))
            std::abort();
    }
};

struct Session {
    std::string sortie;
    int statut;
};

const std::string LINUX = "timeout 10 " G4CRYPT;

// The program under test: this build, another one run by an emulator
// (G4_PROGRAMME, a command line), or the Windows one under Wine.
std::string programme()
{
    const char *autre = getenv("G4_PROGRAMME");
    if (exeWindows != nullptr)
        return "timeout 60 " + std::string(exeWindows);
    return autre == nullptr ? LINUX : "timeout 60 " + std::string(autre);
}

// Runs the program in the directory with the answers from a file, or
// through a pipe.
// Wine, under load, now and then fails to start at all: with no output and
// a status the program never gives, the run is tried again, twice at most.
Session parTube(const Dossier &d, const std::string &entree, const std::string &prog = programme(), bool tube = false)
{
    ecrire(d / ".entree", entree);
    for (int essai = 0;; ++essai) {
        const int brut = system(("cd '" + d.chemin.string() + "' && " + (tube ? "cat .entree | " : "") + prog +
                                 " --aide inutile " + (tube ? "" : "<.entree ") + ">.sortie")
                                    .c_str());
        const Session s = {lire(d / ".sortie"), WIFEXITED(brut) ? WEXITSTATUS(brut) : -1};
        if (exeWindows == nullptr || essai == 2 || s.statut == 0 || !s.sortie.empty())
            return s;
    }
}

using Tours = std::vector<std::pair<std::string, std::string>>;

// The time of the child processes waited for, in ticks.
clock_t tempsDesFils()
{
    struct tms t;
    times(&t);
    return t.tms_cutime + t.tms_cstime;
}

// Sends each answer once the visible output ends with its cue ("" at
// once), or runs it as a shell command, where $G4_PID is the program, when
// it starts with '!', then reads until the program closes its side or
// stays silent for 15 s (Wine can take seconds to start under load). What
// is visible leaves out escape sequences and blanks: Wine's console draws
// its text with cursor moves between the characters.
Session converser(pid_t pid, int lu, int ecrit, const Tours &tours)
{
    Session s{"", -1};
    // A program that ended early makes an answer fail, not the test.
    const auto sigpipe = signal(SIGPIPE, SIG_IGN);
    setenv("G4_PID", std::to_string(pid).c_str(), 1);
    char tampon[4096];
    struct pollfd p = {lu, POLLIN, 0};
    ssize_t n = 0;
    for (size_t i = 0;;) {
        for (std::string vu =
                 i == tours.size() ? "" : remplacer(s.sortie, "\x1b\\[[0-9;?]*[ -/]*[@-~]|\x1b\\][^\x07]*\x07|\\s", "");
             i < tours.size() && vu.size() >= tours[i].first.size() &&
             vu.compare(vu.size() - tours[i].first.size(), std::string::npos, tours[i].first) == 0;
             ++i)
            if (tours[i].second[0] == '!' ? system(tours[i].second.c_str() + 1) == -1
                                          : write(ecrit, tours[i].second.data(), tours[i].second.size()) < 0)
                ADD_FAILURE() << tours[i].second;
        if (poll(&p, 1, 15000) <= 0 || (n = read(lu, tampon, sizeof tampon)) <= 0)
            break;
        s.sortie.append(tampon, static_cast<size_t>(n));
    }
    close(lu);
    close(ecrit);
    signal(SIGPIPE, sigpipe);
    int brut = 0;
    waitpid(pid, &brut, 0);
    s.statut = WIFEXITED(brut) ? WEXITSTATUS(brut) : -1;
    return s;
}

// Answers from the file entree, when given, rather than from the terminal.
// On Linux its input is left non-blocking, as another program may leave a
// terminal or a pipe: at a terminal, its output too. A raw terminal is left
// blocking, where each read waits a while.
void lancer(const Dossier &d, const char *entree = nullptr, bool bloquant = false)
{
    if (exeWindows == nullptr && ((!bloquant && fcntl(0, F_SETFL, fcntl(0, F_GETFL) | O_NONBLOCK) != 0) ||
                                  (entree != nullptr && dup2(open((d / entree).c_str(), O_RDONLY), 0) != 0)))
        _exit(126);
    if (chdir(d.chemin.c_str()) == 0) {
        if (exeWindows == nullptr)
            execl(G4CRYPT, "g4crypt", static_cast<char *>(nullptr));
        else
            execl("/bin/sh", "sh", "-c",
                  ("exec " + std::string(exeWindows) + (entree ? " <" + std::string(entree) : "")).c_str(),
                  static_cast<char *>(nullptr));
    }
    _exit(127);
}

enum Voie { TUBES, TERMINAL, BRUT };

// Runs it under a pseudo-terminal that does not echo, so that only the
// program's output comes back, line by line or raw with no minimum, where
// a read gives up after 0.3 s, or else through two pipes. Wine's console
// reads the keys itself, so Enter must reach it as a carriage return.
Session parTerminal(const Dossier &d, const Tours &tours, const char *entree = nullptr, Voie voie = TERMINAL)
{
    const bool terminal = voie != TUBES;
    struct termios t = {};
    t.c_iflag = exeWindows == nullptr ? ICRNL : 0;
    t.c_oflag = OPOST | ONLCR;
    t.c_cflag = CS8 | CREAD;
    t.c_lflag = voie == BRUT ? ISIG : ICANON | ISIG;
    t.c_cc[VEOF] = 4;
    t.c_cc[VTIME] = voie == BRUT ? 3 : 0;
    int versProg[2] = {-1, -1}, deProg[2] = {-1, -1};
    if (!terminal && (pipe(versProg) | pipe(deProg)) != 0)
        std::abort();
    const pid_t pid = terminal ? forkpty(&deProg[0], nullptr, &t, nullptr) : fork();
    if (pid == 0) {
        // The program's end of each pipe only, or it would never see its input end.
        if (!terminal && (dup2(versProg[0], 0) | dup2(deProg[1], 1) | close(versProg[1]) | close(deProg[0])) < 0)
            _exit(125);
        lancer(d, entree, voie == BRUT);
    }
    if (!terminal && (close(versProg[0]) | close(deProg[1])) != 0)
        ADD_FAILURE() << "close";
    return converser(pid, deProg[0], terminal ? dup(deProg[0]) : versProg[1], tours);
}

Session parTubes(const Dossier &d, const Tours &tours)
{
    return parTerminal(d, tours, nullptr, TUBES);
}

class Sessions : public testing::TestWithParam<std::string> {
protected:
    void verifier(const Session &s, const char *efface)
    {
        const Transcription t = charger(GetParam());
        EXPECT_EQ(s.statut, 0);
        EXPECT_EQ(transcrire(s.sortie, efface), attendu(t.attendu));
        EXPECT_EQ(lire(d / "clair"), d.clair);
        EXPECT_EQ(lire(d / "g4"), lire(G1));
        EXPECT_TRUE(lire(d / "gros") == d.gros);
        EXPECT_FALSE(std::filesystem::exists(d / "ailleurs"));
        EXPECT_TRUE(lire(d / "code") == "\x4D\x17\x4D\x17" || lire(d / "code") == d.codeClair);
        EXPECT_EQ(std::filesystem::exists(d / "d") ? lire(d / "d") : "-", t.d == "clair"    ? d.clair
                                                                          : t.d == "ancien" ? "AA"
                                                                                            : t.d);
    }
    Atelier d;
};

TEST_P(Sessions, ParUnTube)
{
    if (GetParam().rfind(exeWindows != nullptr ? "linux_" : "windows_", 0) == 0)
        GTEST_SKIP();
    // On Linux a file size limit of 128 KiB makes writes fail as on a full
    // disk, the signal it sends being the program's to ignore.
    const std::string limite = exeWindows == nullptr ? "ulimit -f 256; " : "";
    verifier(parTube(d, charger(GetParam()).entree, limite + programme()), "\f");
}

std::string nomDuTest(const testing::TestParamInfo<std::string> &i)
{
    return i.param.substr(0, i.param.find('.'));
}

INSTANTIATE_TEST_SUITE_P(Transcriptions, Sessions, testing::ValuesIn(fichiers(SESSIONS)), nomDuTest);

// Every matrix read in the run stays a key, however many came after it,
// and a key not held open leaves no descriptor behind.
TEST(Cles, ToutesGardees)
{
    Atelier d;
    std::string reponses;
    for (int i = 0; i <= 64; ++i) {
        std::filesystem::copy_file(G1, d / ("k" + std::to_string(i)));
        reponses += "k" + std::to_string(i) + " 1 clair x 1 ";
    }
    // Under a low limit on descriptors, of which the keys take half at most.
    const std::string sortie = parTube(d, reponses + "k0 1 clair k0 clair y 2", "ulimit -n 16; " + LINUX).sortie;
    EXPECT_NE(sortie.find("Erreur, fichier k0 impossible a creer."), std::string::npos);
    EXPECT_EQ(lire(d / "k0"), lire(G1));
    EXPECT_EQ(lire(d / "y"), d.codeClair);
}

// Each question reaches a pipe before the program waits for its answer: a
// front end that answers only what it has seen gets through, also with a
// pipe left non-blocking, or a terminal left raw, which the program then
// waits on without spinning, a second here, also when it goes back to
// lines meanwhile; at a terminal line by line, Ctrl+D ends it at once. The
// stamps are the local date and time of the moment, in a zone far from UTC.
TEST(Questions, ArriventAvantDAttendreLaReponse)
{
    setenv("TZ", "XYZ-14", 1);
    Atelier d;
    for (const Voie voie : {TUBES, TERMINAL, BRUT}) {
        std::filesystem::remove(d / "d");
        struct timespec t[2];
        const clock_t avant = tempsDesFils();
        clock_gettime(CLOCK_REALTIME, &t[0]);
        Tours tours = {{"valide?", "!sleep 1"},
                       {"", "g4\n"},
                       {"3.Cryptage&Decryptage", "3\n"},
                       {"exe?", "clair\n"},
                       {"crypter?", "code\n"},
                       {"decrypter?", "d\n"},
                       {"2.non", voie == TERMINAL ? "\x04" : "2\n"}};
        if (voie == BRUT)
            tours.insert(tours.begin() + 4, {"crypter?", "!stty -F /proc/$G4_PID/fd/0 icanon; sleep 0.5"});
        const Session s = parTerminal(d, tours, nullptr, voie);
        clock_gettime(CLOCK_REALTIME, &t[1]);
        EXPECT_LT(tempsDesFils() - avant, sysconf(_SC_CLK_TCK) / 2) << voie;
        EXPECT_LT(t[1].tv_sec - t[0].tv_sec, 10) << voie;
        EXPECT_EQ(s.statut, 0);
        EXPECT_EQ(lire(d / "d"), d.clair) << voie;
        std::string bornes[2];  // as YYYYMMDDhhmmsscc
        for (int i = 0; i < 2; ++i) {
            char h[16];
            strftime(h, sizeof h, "%Y%m%d%H%M%S", localtime(&t[i].tv_sec));
            bornes[i] = h + std::to_string(t[i].tv_nsec / 10000000 + 100).substr(1);
        }
        std::smatch m;
        ASSERT_TRUE(std::regex_search(s.sortie, m, std::regex("Fin du cryptage (..)/(..)/(....) (..):(..):(..),(..)")));
        const std::string h = m.str(3) + m.str(2) + m.str(1) + m.str(4) + m.str(5) + m.str(6) + m.str(7);
        EXPECT_TRUE(bornes[0] <= h && h <= bornes[1]) << bornes[0] << " " << h << " " << bornes[1];
    }
}

// An output left non-blocking and read late, here a terminal, where writes
// come back partial and clears are escape sequences, once the program has
// filled it many times over, holds all that the program printed; the
// program waited without spinning.
TEST(Questions, SortieNonBloquanteLueTard)
{
    Atelier d;
    std::string reponses = "g4 ";
    for (int i = 0; i < 1000; ++i)
        reponses += "1 clair x 1 g4 ";
    const auto t0 = tempsDesFils();
    const std::string attendu = transcrire(parTube(d, reponses + "2").sortie, "\f");
    const auto t1 = tempsDesFils();
    const std::string sortie = parTerminal(d, {{"", "!sleep 1.5"}}, ".entree").sortie;
    // A terminal costs more than a pipe, spinning 1.5 s more than that.
    EXPECT_LT(tempsDesFils() - t1, 2 * (t1 - t0) + sysconf(_SC_CLK_TCK) / 2);
    EXPECT_GT(attendu.size(), size_t{1} << 18);
    EXPECT_EQ(sortie.find('\f'), std::string::npos);
    EXPECT_TRUE(transcrire(sortie, "\x1b\\[H\x1b\\[2J") == attendu);
}

// A byte-order mark opens the input only: a UTF-8 one is skipped, a UTF-16
// one makes the input UTF-16 text, whose names become UTF-8 ones (a lone
// surrogate as U+FFFD). Anywhere else its bytes are a name's.
TEST(Marques, ParUnTube)
{
    // Each length of UTF-8 at its edges, and surrogates paired or not.
    const std::u16string noms = u"\uD7FF\uE000\xD800\xDBFF"
                                u"a\xDC00\xDC00 \x7F\u0080\u07FF\u0800\uFFFF\xD800\xDC00\xDBFF\xDFFF";
    const std::string code = "\uD7FF\uE000\uFFFD\uFFFDa\uFFFD\uFFFD",
                      clair = "\x7F\u0080\u07FF\u0800\uFFFF\U00010000\U0010FFFF";
    std::string le = "\xFF\xFE", be = "\xFE\xFF";
    // Read as text on Windows, К (0x041A) would end the input, and U+0D15
    // before a line feed would lose its 0x0D byte.
    const char16_t *const suite = u" 1 g4 1 clair \u041A\u0D15\n2";
    for (const char16_t u : u"g4 3 clair " + noms + suite) {
        le += {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
        be += {static_cast<char>(u >> 8), static_cast<char>(u & 0xFF)};
    }
    for (const std::string &entree :
         {"\xEF\xBB\xBFg4 3 clair " + code + " " + clair + " 1 g4 1 clair \u041A\u0D15\n2", le, be}) {
        Atelier d;
        parTube(d, entree);
        EXPECT_TRUE(lire(d / code) == d.codeClair && lire(d / clair) == d.clair) << entree;
        EXPECT_TRUE(lire(d / "\u041A\u0D15") == d.codeClair) << entree;
    }
    // A first word that only starts like a mark, or that holds a null byte
    // after a matrix's name, is refused or not found: the matrix question
    // comes back.
    for (const std::string &debut : {"\xFF"s, "\xFE\xFE"s, "\xEF\xBB"s, "\xEF"s, "g4\0"s}) {
        Atelier d;
        const std::string sortie = parTube(d, debut + " g4 1 clair \xEF\xBB\xBF 2").sortie;
        EXPECT_NE(sortie.find("valide?", sortie.find("valide?") + 1), std::string::npos) << debut;
        EXPECT_EQ(lire(d / "\xEF\xBB\xBF"), d.codeClair) << debut;
    }
}

// Windows writes the same bytes as Linux, and names given with either
// slash and with accented letters, typed at a console (in its OEM code
// page) or piped in UTF-8, name the files that Linux sees under the same
// UTF-8 names.
// At the console a letter that its code page lacks (œ, a typographic
// apostrophe) fails the pass rather than naming a look-alike, and a name
// is counted in letters of that page, at most 19. A name in
// the device or object namespaces, or a destination naming a file's
// stream, is refused with its question's own message.
TEST(Windows, MemesFichiersQueSousLinux)
{
    if (exeWindows == nullptr)
        GTEST_SKIP() << "no Windows executable";
    Atelier d;
    const std::string gros = motif(600001);  // a few blocks, and an odd length
    ecrire(d / "données.txt", gros);
    std::filesystem::copy_file(G1, d / "clé.txt");
    std::filesystem::create_directory(d / "sous");
    ecrire(d / "sour.g4", "autre");
    ecrire(d / "l'ete.txt", "autre");
    ASSERT_EQ(parTube(d, "clé.txt 1 données.txt l.g4 2", LINUX).statut, 0);
    const auto avant = fichiers(d.chemin);
    const std::string reponses = "clé.txt 3 données.txt sous/résumé.g4 sous\\reçu.txt 2";
    Tours console = {{"valide?", "clé.txt\r"}, {"3.Cryptage&Decryptage", "3\r"}};
    for (const char *nom : {"données.txt", "sœur.g4", "x", "l’ete.txt", "sous/résumé.g4", "sous\\reçu.txt",
                            "données.txt", "sous/résumé.g4", "sous\\reçu.txt"})
        console.push_back({std::vector<const char *>{"exe?", "crypter?", "decrypter?"}[(console.size() - 2) % 3],
                           nom + std::string("\r")});
    // 20 letters, whose bytes in 850 would read as 10 UTF-8 characters.
    console.insert(console.begin() + 3, {"crypter?", "ÈéÈéÈéÈéÈéÈéÈéÈéÈéÈé\r"});
    console.push_back({"2.non", "2\r"});
    // Names that reach no plain file first, which must create nothing.
    const std::string horsFichiers = "\\\\.\\clé.txt clé.txt 1 //?/données.txt sous/a données.txt données.txt:x "
                                     "données.txt \\\\.\\sous\\a données.txt //./sous/a données.txt sous/résumé.g4 1 ";
    for (const char *voie : {"console", "UTF-8"}) {
        if (voie[0] == 'c')
            parTerminal(d, console);
        else
            parTube(d, horsFichiers + reponses);
        EXPECT_TRUE(lire(d / "sous/résumé.g4") == lire(d / "l.g4")) << voie;
        EXPECT_TRUE(lire(d / "sous/reçu.txt") == gros) << voie;
        std::filesystem::remove(d / "sous/résumé.g4");
        std::filesystem::remove(d / "sous/reçu.txt");
        EXPECT_TRUE(fichiers(d.chemin) == avant && fichiers(d / "sous").empty()) << voie;  // nothing misnamed
    }
    EXPECT_EQ(lire(d / "sour.g4") + lire(d / "l'ete.txt"), "autreautre");
}

// UTF-8 text in a legacy code page, or "" where the page lacks a letter.
std::string versPage(const char *page, std::string texte)
{
    const iconv_t cd = iconv_open(page, "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1))
        std::abort();
    std::string sortie(texte.size(), '\0');
    char *de = texte.data(), *vers = sortie.data();
    size_t reste = texte.size(), place = sortie.size();
    const bool ok = iconv(cd, &de, &reste, &vers, &place) == 0;
    iconv_close(cd);
    return ok ? sortie.substr(0, sortie.size() - place) : "";
}

// Answers in a legacy code page, as cmd's echo (850) or an editor (1252)
// writes them, through a pipe or from a file. The French letters of the
// first block tell the page where they are French in it alone: every
// letter it has then names the file as typed. Where they do not (¤ is a
// letter of neither), a name found under both readings is refused, and
// the first source found under one settles the page; the decrypted copy
// is compared with the file to encrypt as both then read.
TEST(Windows, ReponsesEnPageAncienne)
{
    if (exeWindows == nullptr)
        GTEST_SKIP() << "no Windows executable";
    // Lower and upper case side by side, so that no two names differ by
    // case alone, which Windows does not tell apart.
    const std::vector<std::string> lettres = {"à", "À", "â", "Â", "ä", "Ä", "ç", "Ç", "é", "É", "è", "È", "ê",
                                              "Ê", "ë", "Ë", "î", "Î", "ï", "Ï", "ô", "Ô", "ö", "Ö", "ù", "Ù",
                                              "û", "Û", "ü", "Ü", "ÿ", "Ÿ", "œ", "Œ", "æ", "Æ", "’", "€"};
    for (const char *page : {"CP850", "CP1252"}) {
        const char *const autre = page[2] == '8' ? "CP1252" : "CP850";
        std::vector<std::string> aLui;
        std::copy_if(lettres.begin(), lettres.end(), std::back_inserter(aLui),
                     [&](const std::string &l) { return !versPage(page, l).empty(); });
        std::string noms[4];
        for (size_t i = 0; i < aLui.size(); ++i)
            noms[i * 4 / aLui.size()] += aLui[i];
        for (const bool tube : {true, false}) {
            Atelier d;
            const size_t avant = fichiers(d.chemin).size();
            parTube(d,
                    "g4 3 clair " + versPage(page, noms[0] + " " + noms[1]) + " 1 g4 3 clair " +
                        versPage(page, noms[2] + " " + noms[3]) + " 2",
                    programme(), tube);
            for (int i = 0; i < 4; ++i)
                EXPECT_TRUE(lire(d / noms[i]) == (i % 2 == 0 ? d.codeClair : d.clair)) << page << tube << noms[i];
            EXPECT_EQ(fichiers(d.chemin).size(), avant + 6) << page << tube;  // the four, .entree, .sortie

            // 0xE9 is é in 1252 and Ú in 850; é is 0x82 in 850, a low
            // quote in 1252. The decrypted É.txt is é.txt once é.g4 has
            // settled the page.
            const std::string eTxt = versPage(page, "é.txt"), double_ = page[2] == '8' ? "‚.txt" : "Ú.txt";
            std::filesystem::copy_file(G1, d / "é");
            std::filesystem::copy_file(G2, d / "Ú");
            for (const std::string &nom : {"é.txt"s, double_, "é.g4"s})
                ecrire(d / nom, nom == "é.g4" ? d.codeClair : d.clair);
            const std::string sortie =
                parTube(d,
                        "\xA4 \xE9 g4 3 " + versPage(page, "é.txt é.g4 É.txt é.txt é.g4 x") + " 1 é 1 " + eTxt + " " +
                            versPage(autre, "é") + " 1 é 1 " + versPage(page, "é.txt é é.txt y") + " 2",
                        programme(), tube)
                    .sortie;
            // A UTF-8 matrix name is still the matrix once a source has
            // settled the page, under that page's spelling; under the other
            // page's it is another name.
            const std::regex message("(Ce fichier|Erreur)[^\r\n]*");
            EXPECT_EQ(
                std::vector<std::string>(std::sregex_token_iterator(sortie.begin(), sortie.end(), message), {}),
                (std::vector<std::string>{
                    "Ce fichier n'existe pas.", "Ce fichier n'existe pas.", "Erreur, fichier " + eTxt + " introuvable.",
                    "Erreur, fichier " + versPage(page, "É.txt") + " identique au fichier source.",
                    "Erreur, fichier " + versPage(page, "é") + " impossible a creer."}))
                << page << tube;
            EXPECT_TRUE(lire(d / "é.txt") == d.clair && lire(d / "x") == d.clair) << page << tube;
            EXPECT_TRUE(lire(d / "é") == lire(G1) && lire(d / "y") == d.codeClair) << page << tube;
        }
    }
}

// At a console, a name in a message shows as typed, in UTF-8 or in the
// ANSI page of an answers file.
TEST(Windows, NomsAffichesCommeTapes)
{
    if (exeWindows == nullptr)
        GTEST_SKIP() << "no Windows executable";
    Atelier d;
    ecrire(d / ".entree", "g4 1 absenté.txt x " + versPage("CP1252", "absenté.txt") + " x clair y 2\n");
    const std::string vu = remplacer(parTerminal(d, {}, ".entree").sortie, "\x1b\\[[0-9;?]*[ -/]*[@-~]|\\s", "");
    EXPECT_TRUE(std::regex_search(vu, std::regex("(Erreur,fichierabsenté.txtintrouvable.*){2}"))) << vu;
}

// Another program can neither rename nor delete a matrix file that was
// read, for as long as the program runs; once it has ended, it can.
TEST(Windows, MatriceTenueOuverte)
{
    if (exeWindows == nullptr)
        GTEST_SKIP() << "no Windows executable";
    Atelier d;
    const std::string cmd = "cd '" + d.chemin.string() + "' && " +
                            remplacer(exeWindows, "wine '[^']*'$", "wine cmd /c \"ren g4 k & del g4\"") +
                            " >/dev/null 2>&1";
    parTubes(d, {{"valide?", "g4\n"}, {"3.Cryptage&Decryptage", "2\n"}, {"exe?", "!" + cmd}, {"", "code d 2\n"}});
    EXPECT_EQ(lire(d / "g4"), lire(G1));
    EXPECT_FALSE(std::filesystem::exists(d / "k"));
    EXPECT_EQ(lire(d / "d"), "AA");
    ASSERT_NE(system(cmd.c_str()), -1);
    EXPECT_FALSE(std::filesystem::exists(d / "g4"));
    EXPECT_EQ(lire(d / "k"), lire(G1));
}

// A ComSpec that a parent left naming a removed file or a folder, or took
// away, still gives the stamps, from the system's own command processor.
TEST(Windows, ComSpecSansProcesseur)
{
    if (exeWindows == nullptr)
        GTEST_SKIP() << "no Windows executable";
    Atelier d;
    for (const std::string comspec : {"C:\\absent\\cmd.exe", "C:\\windows", ""}) {
        std::filesystem::remove(d / "x");
        const std::string prog =
            "timeout 60 " +
            remplacer(exeWindows, "wine '([^']*)'$", ("wine cmd /d /c 'set ComSpec=" + comspec + "&& Z:$1'").c_str());
        const std::string sortie = parTube(d, "g4 1 clair x 2", prog).sortie;
        EXPECT_TRUE(std::regex_search(sortie, std::regex("Debut du cryptage .*\\s+Fin du cryptage "))) << sortie;
        EXPECT_EQ(lire(d / "x"), d.codeClair) << comspec;
    }
}

// Each line as the console shows it: units of 1024 with a decimal comma,
// rounded down at each unit's edge, never 100 % before the end nor past
// it, the time left once two seconds tell it, rounded up across a minute
// and an hour, the amount alone for a size of 0, and no wider than the
// screen less one column.
TEST(Progression, Ligne)
{
    const unsigned long long Ko = 1024, Mo = Ko * Ko, Go = Mo * Ko, To = Go * Ko;
    const struct {
        unsigned long long fait, total;
        double secondes;
        int largeur;
        const char *ligne;
    } cas[] = {
        {1, 1023, 1, 80, "Progression: 0 % (1 octet sur 1023 octets)"},
        {Ko, Mo - 1, 1, 80, "Progression: 0 % (1,0 Ko sur 1023,9 Ko)"},
        {Mo, Go - 1, 1, 80, "Progression: 0 % (1,0 Mo sur 1023,9 Mo)"},
        {Go * 145 / 100, Go * 335 / 100, 1, 80, "Progression: 43 % (1,4 Go sur 3,3 Go)"},
        {To - 1, 1024 * To, 1, 80, "Progression: 0 % (1023,9 Go sur 1024,0 To)"},
        {To << 22, To << 23, 1, 80, "Progression: 50 % (4194304,0 To sur 8388608,0 To)"},
        {999, 1000, 1, 80, "Progression: 99 % (999 octets sur 1000 octets)"},
        {1000, 1000, 9, 80, "Progression: 99 % (1000 octets sur 1000 octets)"},
        {1500, 1000, 9, 80, "Progression: 99 % (1,4 Ko sur 1000 octets)"},
        {2, 61, 1.9, 80, "Progression: 3 % (2 octets sur 61 octets)"},
        {2, 61, 2, 80, "Progression: 3 % (2 octets sur 61 octets), encore 59 s"},
        {4, 123, 2, 80, "Progression: 3 % (4 octets sur 123 octets), encore 1 min 00 s"},
        {2, 3601, 2, 80, "Progression: 0 % (2 octets sur 3,5 Ko), encore 59 min 59 s"},
        {2, 3602, 2, 80, "Progression: 0 % (2 octets sur 3,5 Ko), encore 1 h 00 min"},
        {2, 7201, 2, 80, "Progression: 0 % (2 octets sur 7,0 Ko), encore 1 h 59 min"},
        // On a narrower screen, the longest of the shorter forms that fits.
        {Go * 109 / 100, 2 * Go, 14, 51, "Progression: 54 % (1,0 Go sur 2,0 Go), encore 12 s"},
        {Go * 109 / 100, 2 * Go, 14, 50, "Progression: 54 %, encore 12 s"},
        {Go * 109 / 100, 2 * Go, 14, 31, "Progression: 54 %, encore 12 s"},
        {Go * 109 / 100, 2 * Go, 14, 30, "Progression: 54 %"},
        {Go * 109 / 100, 2 * Go, 14, 17, "54 %"},
        {Go * 109 / 100, 2 * Go, 14, 4, ""},
        {Go * 109 / 100, 2 * Go, 1, 38, "Progression: 54 % (1,0 Go sur 2,0 Go)"},
        {Go * 109 / 100, 2 * Go, 1, 37, "Progression: 54 %"},
        {2 * Mo, 0, 9, 20, "Progression: 2,0 Mo"},
        {2 * Mo, 0, 9, 19, "2,0 Mo"},
        {2 * Mo, 0, 9, 6, ""},
    };
    for (const auto &c : cas) {
        char ligne[160];
        ligneProgres(ligne, sizeof ligne, c.fait, c.total, c.secondes, c.largeur);
        EXPECT_STREQ(ligne, c.ligne) << c.largeur;
    }
}

// Drawn with a clock and a screen of the test's own: nothing before a
// second, then at most four times a second, spaces over what a longer line
// left, within a screen made narrower, and erased as the operation ends.
double maintenant = 0;
int colonnes = 80;

TEST(Progression, Dessin)
{
    char *ecrit = nullptr;
    size_t taille = 0;
    FILE *ecran = open_memstream(&ecrit, &taille);
    ASSERT_NE(ecran, nullptr);
    const Affichage affichage = {[] { return maintenant; }, [] { return colonnes; }, ecran};
    installerProgres(&affichage);
    const std::vector<std::tuple<int, double, int, unsigned long long, std::string>> pas = {
        {PROGRES_DEBUT, 100, 80, 0, ""},
        {PROGRES_BLOC, 100.99, 80, 10, ""},
        {PROGRES_BLOC, 101, 80, 20, "\rProgression: 20 % (20 octets sur 100 octets)"},
        {PROGRES_BLOC, 101.24, 80, 30, ""},
        {PROGRES_BLOC, 102, 80, 50, "\rProgression: 50 % (50 octets sur 100 octets), encore 2 s"},
        {PROGRES_BLOC, 102.25, 25, 60, "\rProgression: 60 %       "},
        {PROGRES_FIN, 103, 20, 60, "\r" + std::string(19, ' ') + "\r"},
        {PROGRES_FIN, 103, 20, 60, ""},
    };
    for (const auto &[etape, t, largeur, fait, voulu] : pas) {
        maintenant = t;
        colonnes = largeur;
        const size_t avant = taille;
        etapeProgres(etape, fait, 100);
        EXPECT_EQ(std::string(ecrit + avant, taille - avant), voulu) << t;
    }
    suivreProgres(nullptr);
    fclose(ecran);
    free(ecrit);
}

// The program as it is started: at a terminal an operation that has run a
// second shows its progress, and through a pipe never. Stopped for that
// second once it has written something, the decryption of 1 GiB, a fraction
// of a second of work, does.
TEST(Progression, AuTerminalJamaisDansUnTube)
{
    Dossier d;
    std::filesystem::copy_file(G1, d / "g4");
    ecrire(d / "gros", "");
    ASSERT_EQ(truncate((d / "gros").c_str(), off_t{1} << 30), 0);
    for (const bool terminal : {true, false}) {
        std::filesystem::remove(d / "gros.dec");
        const std::string fin = terminal && exeWindows != nullptr ? "\r" : "\n";
        const Tours tours = {{"", "g4" + fin + "2" + fin + "gros" + fin + "gros.dec" + fin},
                             {"", "!cd '" + d.chemin.string() +
                                      "'; timeout 15 sh -c 'until [ -s gros.dec ]; do sleep 0.01; "
                                      "done'; kill -STOP $G4_PID; sleep 1.2; kill -CONT $G4_PID"},
                             {"2.non", "2" + fin}};
        const Session s = terminal ? parTerminal(d, tours) : parTubes(d, tours);
        const std::string vu = remplacer(s.sortie, "\x1b\\[[0-9;?]*[ -/]*[@-~]|\\s", "");
        // Wine's console draws its screen when it gets round to it: the
        // clear that follows the end stamp at once may come before it.
        const std::string suite = terminal && exeWindows != nullptr ? "" : ".*Findud";
        EXPECT_EQ(std::regex_search(vu, std::regex("Debutdud.*Progression:\\d+%" + suite)), terminal) << vu;
        EXPECT_EQ(s.statut, 0);
    }
}

std::vector<std::string> lignes(const std::string &texte)
{
    static const std::regex fin("\n");
    return {std::sregex_token_iterator(texte.begin(), texte.end(), fin, -1), {}};
}

// The guide quotes only messages that the program prints, with a name for
// each %s. Its session's answers, piped in, bring its questions and
// messages in its order; echoes, clears and the stamps' values aside.
TEST(Guide, MessagesEtSeance)
{
    std::vector<std::regex> textes;
    for (const char *source : {"/menu.cpp", "/dialogues.cpp", "/saisie.cpp"}) {
        const std::string code = lire(CONSOLE + std::string(source));
        const std::regex litteral("\"((?:[^\"\\\\\n]|\\\\.)*)\"");
        for (std::sregex_iterator i(code.begin(), code.end(), litteral), j; i != j; ++i)
            for (const std::string &ligne : lignes(remplacer((*i)[1], "\\\\n", "\n")))
                textes.emplace_back(remplacer(
                    remplacer(remplacer(ligne, "[.?*+()\\[\\]{}^$|\\\\]", "\\$&"), "%s", "\\S+"), "%d", "-?\\d+"));
    }
    std::string reponses;
    std::vector<std::string> attendues, vues;
    bool seance = false;
    for (const std::string &ligne : lignes(lire(GUIDE))) {
        std::smatch m;
        seance = ligne == "    Quel est le nom de votre matrice G4 valide?" ||
                 (seance && (ligne.empty() || ligne.rfind("    ", 0) == 0));
        if (std::regex_match(ligne, m, std::regex(" *« (.*) »")))
            EXPECT_TRUE(std::any_of(textes.begin(), textes.end(), [&](const std::regex &t) {
                return std::regex_match(m.str(1), t);
            })) << m.str(1);
        else if (seance && ligne.rfind("    => ", 0) == 0)
            reponses += ligne.substr(7) + "\n";
        else if (seance && ligne.rfind("    ", 0) == 0 && ligne != "    ----")
            attendues.push_back(transcrire(ligne.substr(4), "\f"));
    }
    Dossier d;
    for (const char *nom : {"g4.txt", "lettre.txt"})
        std::filesystem::copy_file(EXEMPLE + std::string(nom), d / nom);
    const std::string sortie = transcrire(parTube(d, reponses).sortie, "\f");
    for (const std::string &ligne : lignes(remplacer(remplacer(sortie, "\n-?\\d+<efface>", "\n"), "<efface>", "\n")))
        if (!ligne.empty())
            vues.push_back(ligne);
    EXPECT_EQ(vues, attendues);
    EXPECT_EQ(lire(d / "lettre.dec"), lire(EXEMPLE "lettre.txt"));
}

}  // namespace
