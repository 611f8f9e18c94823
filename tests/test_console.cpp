#include "outils.h"

#include <chrono>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <regex>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The program's texts, as a person reads them; \f marks a cleared screen
// and <H> a date and time.
const std::string F = "\f";
const std::string MATRICE = "Quel est le nom de votre matrice G4 valide?\n";
const std::string OPERATION = "Que voulez-vous faire:\n1. Cryptage\n2. Decryptage\n3. Cryptage&Decryptage\n";
const std::string RECOMMENCER = "Voulez vous recommencer ce programme cree par Quorvel?\n1.oui\n2.non\n";
const std::string A_CRYPTER = "Quel est le nom du fichier a crypter se trouvant dans le dossier que cet exe?\n";
const std::string CRYPTE = "Quel sera le nom du fichier une fois crypter?\n";
const std::string DECRYPTE = "Quel sera le nom du fichier une fois decrypter?\n";
const std::string A_DECRYPTER =
    "Decryptage:\nQuel est le nom du fichier a decrypter se trouvant dans le dossier que cet exe?\n";
const std::string DEB_C = "Debut du cryptage <H>\n", FIN_C = "Fin du cryptage <H>\n";
const std::string DEB_D = "Debut du d\u00e9cryptage <H>\n", FIN_D = "Fin du d\u00e9cryptage <H>\n";
const std::string REFUS = "Nom de fichier refuse: 19 caracteres au plus.\n";
const std::string DEBUT = F + MATRICE + F + OPERATION;  // a valid matrix, up to the operation question

const std::regex HEURE("\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d,\\d\\d");

std::string introuvable(const std::string &nom)
{
    return "Erreur, fichier " + nom + " introuvable.\n";
}

struct Session {
    std::string sortie;
    int statut;
    double secondes;
};

// Runs the program in the directory with the answers piped in.
Session lancer(const Dossier &d, const std::string &entree, const std::string &arguments = "")
{
    ecrire(d / ".entree", entree);
    const std::string commande =
        "cd '" + d.chemin.string() + "' && timeout 10 " G4CRYPT " " + arguments + " < .entree > .sortie";
    const auto debut = std::chrono::steady_clock::now();
    const int brut = system(commande.c_str());
    const std::chrono::duration<double> duree = std::chrono::steady_clock::now() - debut;
    return {std::regex_replace(lire(d / ".sortie"), HEURE, "<H>"), WIFEXITED(brut) ? WEXITSTATUS(brut) : -1,
            duree.count()};
}

// A directory holding the usual matrix files and a plain file.
struct Atelier : Dossier {
    const std::string clair = std::string("Bonjour\0\xff\n", 10);
    Atelier()
    {
        ecrire(*this / "g4", G1);
        ecrire(*this / "g20", "10001110 01001101 0010");
        ecrire(*this / "uns", std::string(32, '1'));
        ecrire(*this / "clair", clair);
    }
};

// What the file "d" holds after a session: nothing, the plain file, or
// the older encrypted file decoded.
enum { SANS_D, D_CLAIR, D_ANCIEN };

struct CasSession {
    const char *nom;
    std::string entree;
    std::string attendu;
    int d = SANS_D;
};

const CasSession SESSIONS[] = {
    {"cycle_de_cryptage", "g4 1 clair code 2",
     DEBUT + "1" + F + F + "Cryptage:\n" + A_CRYPTER + "\n" + CRYPTE + "\n" + DEB_C + FIN_C + F + RECOMMENCER},
    {"messages_de_matrice", "absent g20 uns g4\n",
     F + MATRICE + F + "Ce fichier n'existe pas.\n" + MATRICE + F +
         "Il n'y a ps asse de 0 et de 1 pour faire une matrice g4 dans votre fichier.\n" + MATRICE + F +
         "Il n'y a pas de partie identite dans votre matrice.\n" + MATRICE + F + OPERATION + "\n"},
    {"operations_hors_plage", "g4 0 4 -1 abc 99999999999 +2",
     DEBUT + "0" + F + F + OPERATION + "4" + F + F + OPERATION + "-1" + F + F + OPERATION + "-1" + F + F + OPERATION +
         "2147483647" + F + F + OPERATION + "2" + F + F + A_DECRYPTER + "\n"},
    {"chiffres_puis_mot", "g4 1clair\ncode 2",
     DEBUT + "1" + F + F + "Cryptage:\n" + A_CRYPTER + "\n" + CRYPTE + "\n" + DEB_C + FIN_C + F + RECOMMENCER},
    {"recommencer_repart_a_zero", "g4 1 clair code 1 g4 3 clair code d x",
     DEBUT + "1" + F + F + "Cryptage:\n" + A_CRYPTER + "\n" + CRYPTE + "\n" + DEB_C + FIN_C + F + RECOMMENCER + DEBUT +
         "3" + F + F + "Cryptage&Decryptage:\n" + A_CRYPTER + CRYPTE + DEB_C + FIN_C + "\n" + DECRYPTE + DEB_D + FIN_D +
         F + RECOMMENCER,
     D_CLAIR},
    {"noms_trop_longs_refuses_en_entier", "g4xxxxxxxxxxxxxxxxxx g4 1 clair 12345678901234567890 c234567890123456789 2",
     F + MATRICE + REFUS + MATRICE + F + OPERATION + "1" + F + F + "Cryptage:\n" + A_CRYPTER + "\n" + CRYPTE + REFUS +
         "\n" + CRYPTE + "\n" + DEB_C + FIN_C + F + RECOMMENCER},
    {"source_absente_puis_cryptage", "g4 1 absent code clair code 2",
     DEBUT + "1" + F + F + "Cryptage:\n" + A_CRYPTER + "\n" + CRYPTE + "\n" + DEB_C + F + introuvable("absent") +
         "Cryptage:\n" + A_CRYPTER + "\n" + CRYPTE + "\n" + DEB_C + FIN_C + F + RECOMMENCER},
    {"decryptage_absent_puis_retrouve", "g4 2 absent d code d 2",
     DEBUT + "2" + F + F + A_DECRYPTER + DECRYPTE + DEB_D + F + introuvable("absent") + A_DECRYPTER + DECRYPTE + DEB_D +
         FIN_D + F + RECOMMENCER,
     D_ANCIEN},
    {"combine_source_absente_sans_ancien", "g4 3 absent nouveau d clair nouveau d 2",
     DEBUT + "3" + F + F + "Cryptage&Decryptage:\n" + A_CRYPTER + CRYPTE + DEB_C + F + introuvable("absent") + "\n" +
         DECRYPTE + DEB_D + F + introuvable("nouveau") + "Cryptage&Decryptage:\n" + A_CRYPTER + CRYPTE + DEB_C + FIN_C +
         "\n" + DECRYPTE + DEB_D + FIN_D + F + RECOMMENCER,
     D_CLAIR},
    {"combine_source_absente_ancien_decrypte", "g4 3 absent code d 2",
     DEBUT + "3" + F + F + "Cryptage&Decryptage:\n" + A_CRYPTER + CRYPTE + DEB_C + F + introuvable("absent") + "\n" +
         DECRYPTE + DEB_D + FIN_D + F + RECOMMENCER,
     D_ANCIEN},
    {"destination_egale_source", "g4 1 clair ./clair clair code 2",
     DEBUT + "1" + F + F + "Cryptage:\n" + A_CRYPTER + "\n" + CRYPTE + "\n" + DEB_C + F +
         "Erreur, fichier ./clair identique au fichier source.\n" + "Cryptage:\n" + A_CRYPTER + "\n" + CRYPTE + "\n" +
         DEB_C + FIN_C + F + RECOMMENCER},
};

void PrintTo(const CasSession &c, std::ostream *os)
{
    *os << c.nom;
}

class Sessions : public testing::TestWithParam<CasSession> {};

TEST_P(Sessions, SortieExacte)
{
    Atelier d;
    ecrire(d / "code", "\x4D\x17\x4D\x17");  // an older encrypted "AA"
    const CasSession &c = GetParam();
    const Session s = lancer(d, c.entree, "--aide inutile");
    EXPECT_EQ(s.statut, 0);
    EXPECT_EQ(s.sortie, c.attendu);
    EXPECT_EQ(lire(d / "clair"), d.clair);
    const std::string code = lire(d / "code");
    EXPECT_TRUE(code == "\x4D\x17\x4D\x17" || code.size() == 2 * d.clair.size());
    EXPECT_EQ(std::filesystem::exists(d / "d"), c.d != SANS_D);
    if (c.d != SANS_D) {
        EXPECT_EQ(lire(d / "d"), c.d == D_CLAIR ? d.clair : "AA");
    }
}

INSTANTIATE_TEST_SUITE_P(Cas, Sessions, testing::ValuesIn(SESSIONS),
                         [](const testing::TestParamInfo<CasSession> &i) { return std::string(i.param.nom); });

TEST(Fin, FinDeLEntreeAChaqueQuestion)
{
    const char *const entrees[] = {"",
                                   "   \n\n",
                                   "g4",
                                   "g4 5",
                                   "g4 1",
                                   "g4 1 clair",
                                   "g4 2",
                                   "g4 2 code",
                                   "g4 3",
                                   "g4 3 clair",
                                   "g4 3 clair code",
                                   "g4 3 absent nouveau d",
                                   "g4 1 clair code",
                                   "g4 1 clair code 1",
                                   "g4 1 absent code"};
    for (const char *entree : entrees) {
        Atelier d;
        const Session s = lancer(d, entree);
        EXPECT_EQ(s.statut, 0) << entree;
        EXPECT_LT(s.secondes, 1.0) << entree;
        EXPECT_EQ(s.sortie.substr(s.sortie.size() - 2), "\n\n") << entree;
    }
}

TEST(Fin, ReponsesDeFin)
{
    for (const char *reponse : {"2", "7", "0", "non", "-1"}) {
        Atelier d;
        const Session s = lancer(d, std::string("g4 1 clair code ") + reponse);
        EXPECT_EQ(s.statut, 0) << reponse;
        EXPECT_EQ(s.sortie.substr(s.sortie.size() - RECOMMENCER.size()), RECOMMENCER) << reponse;
    }
}

// Under a terminal: what stands on the screen after each clear.
TEST(Terminal, CeQuiResteApresChaqueEffacement)
{
    Atelier d;
    struct termios t = {};
    t.c_iflag = ICRNL;
    t.c_oflag = OPOST | ONLCR;
    t.c_cflag = CS8 | CREAD;
    t.c_lflag = ICANON | ISIG;  // no echo: only the program's output comes back
    t.c_cc[VEOF] = 4;
    int maitre = -1;
    const pid_t pid = forkpty(&maitre, nullptr, &t, nullptr);
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (chdir(d.chemin.c_str()) == 0)
            execl(G4CRYPT, "g4crypt", static_cast<char *>(nullptr));
        _exit(127);
    }
    const std::string entree = "absent\ng4\n9\n1\nabsent\ncode\nclair\ncode\n2\n";
    ASSERT_EQ(write(maitre, entree.data(), entree.size()), static_cast<ssize_t>(entree.size()));
    std::string ecran;
    char tampon[4096];
    struct pollfd p = {maitre, POLLIN, 0};
    ssize_t n = 0;
    while (poll(&p, 1, 5000) > 0 && (n = read(maitre, tampon, sizeof tampon)) > 0)
        ecran.append(tampon, static_cast<size_t>(n));
    close(maitre);
    int statut = 0;
    waitpid(pid, &statut, 0);
    EXPECT_TRUE(WIFEXITED(statut) && WEXITSTATUS(statut) == 0);

    ecran = std::regex_replace(ecran, std::regex("\r"), "");
    EXPECT_EQ(ecran.find('\f'), std::string::npos);
    std::vector<std::string> pages;
    const std::string efface = "\x1b[H\x1b[2J";
    for (size_t debut = 0, fin; debut <= ecran.size(); debut = fin + efface.size()) {
        fin = std::min(ecran.find(efface, debut), ecran.size());
        pages.push_back(std::regex_replace(ecran.substr(debut, fin - debut), HEURE, "<H>"));
    }
    const std::string cryptage = "Cryptage:\n" + A_CRYPTER + "\n" + CRYPTE + "\n" + DEB_C;
    const std::vector<std::string> attendu = {
        "", MATRICE,  "Ce fichier n'existe pas.\n" + MATRICE,   OPERATION + "9", "", OPERATION + "1",
        "", cryptage, introuvable("absent") + cryptage + FIN_C, RECOMMENCER};
    EXPECT_EQ(pages, attendu);
}

}  // namespace
