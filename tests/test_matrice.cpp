#include "matrice.h"
#include "outils.h"

#include <cstring>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

struct CasMatrice {
    const char *nom;
    std::string contenu;
    int attendu;
    double init[4];
};

const CasMatrice CAS[] = {
    {"quatre_lignes", G1, 0, {0, 1, 2, 3}},
    {"identite_a_droite", G2, 0, {3, 5, 6, 7}},
    {"identite_decroissante", G3, 0, {7, 6, 5, 4}},
    {"une_ligne_blancs", "10001110 01001101 00101011 00010111", 0, {0, 1, 2, 3}},
    {"virgules_dernier_caractere", "10001110,01001101,00101011,00010111", 0, {0, 1, 2, 3}},
    {"crlf_et_autres_chiffres", "G4 matrice 9876\r\n10001110\r\n01001101\r\n00101011\r\n00010111\r\n", 0, {0, 1, 2, 3}},
    {"deux_identites_prend_la_plus_basse", "00100010 10000000 01000000 00010000", 0, {2, 0, 1, 3}},
    {"etiquettes_font_33", "row1 10001110\nrow2 01001101\nrow3 00101011\nrow4 00010111\n", 2, {}},
    {"31_chiffres", "1000111001001101001010110001011", 2, {}},
    {"33_chiffres", "100011100100110100101011000101110", 2, {}},
    {"vide", "", 2, {}},
    {"tout_a_un", std::string(32, '1'), 3, {}},
    {"lignes_egales", "10001110\n10001110\n00101011\n00010111\n", 3, {}},
};

void PrintTo(const CasMatrice &c, std::ostream *os)
{
    *os << c.nom;
}

class Matrice : public testing::TestWithParam<CasMatrice> {};

TEST_P(Matrice, ResultatEtPositions)
{
    const CasMatrice &c = GetParam();
    Dossier d;
    ecrire(d / "m", c.contenu);
    char str[TAILLE_STR] = {};
    double init[4] = {-1, -1, -1, -1};
    ASSERT_EQ(matriceDecod((d / "m").c_str(), init, str), c.attendu);
    if (c.attendu != 0)
        return;
    for (int r = 0; r < 4; ++r)
        EXPECT_EQ(init[r], c.init[r]) << "ligne " << r;
    std::string chiffres;
    for (char ch : c.contenu)
        if (ch == '0' || ch == '1')
            chiffres += ch;
    EXPECT_EQ(std::string(str), chiffres);
}

INSTANTIATE_TEST_SUITE_P(Cas, Matrice, testing::ValuesIn(CAS),
                         [](const testing::TestParamInfo<CasMatrice> &i) { return std::string(i.param.nom); });

TEST(MatriceIllisible, AbsentDossierTubePeripheriqueOuLectureEnErreurDonnent1)
{
    Dossier d;
    ASSERT_EQ(mkfifo((d / "tube").c_str(), 0600), 0);
    for (const std::string &nom :
         {d / "absent", d.chemin.string(), d / "tube", std::string("/dev/zero"), std::string("/proc/self/mem")}) {
        char str[TAILLE_STR] = "x";
        double init[4] = {-1, -1, -1, -1};
        EXPECT_EQ(matriceDecod(nom.c_str(), init, str), 1) << nom;
        EXPECT_STREQ(str, "") << nom;
        EXPECT_EQ(init[0], -1) << nom;
    }
}

TEST(MatriceEnorme, UnMillionDeChiffresRestentDansLeTampon)
{
    Dossier d;
    ecrire(d / "m", std::string(1000000, '1'));
    char str[TAILLE_STR + 8];
    memset(str, 'Z', sizeof str);
    double init[4];
    EXPECT_EQ(matriceDecod((d / "m").c_str(), init, str), 2);
    EXPECT_EQ(strlen(str), 32u);
    EXPECT_EQ(std::string(str + TAILLE_STR, 8), std::string(8, 'Z'));
}

}  // namespace
