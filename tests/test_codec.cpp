#include "fichiers.h"
#include "matrice.h"
#include "outils.h"
#include "vecteur.h"

#include <gtest/gtest.h>
#include <unistd.h>

using namespace std::string_literals;

namespace {

// The digits and identity positions of a matrix, through the reader.
struct Matrice {
    char str[TAILLE_STR] = {};
    double init[4] = {};
    explicit Matrice(const char *lignes)
    {
        Dossier d;
        ecrire(d / "m", lignes);
        if (matriceDecod((d / "m").c_str(), init, str) != 0)
            ADD_FAILURE() << "matrice refusee: " << lignes;
    }
};

// Encodes or decodes a byte string through files; the result is what the
// destination holds afterwards.
std::string crypter(const Matrice &m, const std::string &clair)
{
    Dossier d;
    ecrire(d / "a", clair);
    EXPECT_EQ(cryptfich((d / "a").c_str(), (d / "c").c_str(), m.str), 0);
    return lire(d / "c");
}

std::string decrypter(const Matrice &m, const std::string &code)
{
    Dossier d;
    ecrire(d / "c", code);
    EXPECT_EQ(dcryptfich((d / "c").c_str(), (d / "d").c_str(), m.init), 0);
    EXPECT_TRUE(std::filesystem::exists(d / "d"));
    return lire(d / "d");
}

TEST(Codec, VecteursConnus)
{
    const struct {
        const char *lignes;
        std::string clair, code;
    } vecteurs[] = {
        {G1, "\x41\x00\xFF"s, "\x4D\x17\x00\x00\xFF\xFF"s},
        {G2, "\x41\xFF"s, "\x64\xC1\xD7\xD7"s},
        {G1, "", ""},
    };
    for (const auto &v : vecteurs) {
        const Matrice m(v.lignes);
        EXPECT_EQ(crypter(m, v.clair), v.code) << v.lignes;
        EXPECT_EQ(decrypter(m, v.code), v.clair) << v.lignes;
    }
}

TEST(Codec, DecodageSansPlainte)
{
    EXPECT_EQ(decrypter(Matrice(G2), "\x4D\x17"), "\x5F");  // another matrix's identity columns
    EXPECT_EQ(decrypter(Matrice(G1), "\x4D"), "");
    EXPECT_EQ(decrypter(Matrice(G1), "\x4D\x17\x4D"), "\x41");  // the lone last half is dropped
}

// Every byte value, at lengths around the vector width and the block size,
// through the vector path and the forced table path alike.
TEST(Codec, AllerRetourParLesDeuxChemins)
{
    const size_t B = TAILLE_BLOC;
#if defined(__x86_64__) || defined(__i386__)
    EXPECT_EQ(cheminVecteur(), __builtin_cpu_supports("ssse3") != 0);
#endif
    for (const char *lignes : {G1, G2, G3}) {
        const Matrice m(lignes);
        for (const size_t n : {size_t{0}, size_t{1}, size_t{15}, size_t{16}, size_t{17}, size_t{31}, size_t{32},
                               size_t{33}, B - 1, B, B + 1, 2 * B + 1}) {
            std::string clair(n, '\0');
            for (size_t i = 0; i < n; ++i)
                clair[i] = static_cast<char>(i * 7 + i / 256);
            std::string code[2], retour[2], impair[2];
            for (const int chemin : {CHEMIN_AUTO, CHEMIN_TABLE}) {
                forcerChemin(chemin);
                code[chemin] = crypter(m, clair);
                retour[chemin] = decrypter(m, code[chemin]);
                impair[chemin] = decrypter(m, code[chemin] + '\x4D');  // a lone last byte is dropped
            }
            forcerChemin(CHEMIN_AUTO);
            const std::string ou = std::string(lignes, 8) + " n=" + std::to_string(n);
            EXPECT_EQ(code[0].size(), 2 * n) << ou;
            EXPECT_TRUE(code[0] == code[1]) << ou;
            for (int chemin = 0; chemin < 2; ++chemin) {
                EXPECT_TRUE(retour[chemin] == clair) << ou << " chemin " << chemin;
                EXPECT_TRUE(impair[chemin] == clair) << ou << " chemin " << chemin;
            }
        }
    }
    // Other rows with the same identity columns decode as well.
    const std::string clair = "G4\x00\xFF";
    EXPECT_EQ(decrypter(Matrice("10000000 01000000 00100000 00010000"), crypter(Matrice(G1), clair)), clair);
}

TEST(Codec, BitsInversesHorsEtDansLesColonnesIdentite)
{
    for (const char *lignes : {G1, G3}) {
        const Matrice m(lignes);
        const std::string clair = "\x5A\xC3", code = crypter(m, clair);
        int identite = 0;
        for (int r = 0; r < 4; ++r)
            identite |= 1 << (7 - static_cast<int>(m.init[r]));
        for (size_t i = 0; i < code.size(); ++i)
            for (int bit = 0; bit < 8; ++bit) {
                std::string abime = code;
                abime[i] = static_cast<char>(abime[i] ^ (1 << bit));
                const std::string sortie = decrypter(m, abime);
                int differents = 0;
                for (size_t k = 0; k < clair.size(); ++k)
                    differents += __builtin_popcount(static_cast<unsigned char>(sortie[k] ^ clair[k]));
                EXPECT_EQ(differents, (identite >> bit) & 1) << lignes << " octet " << i << " bit " << bit;
            }
    }
}

// Each file transformation, with the same checks.
using Operation = int (*)(const char *, const char *, const Matrice &);
int opCrypt(const char *a, const char *b, const Matrice &m)
{
    return cryptfich(a, b, m.str);
}
int opDcrypt(const char *a, const char *b, const Matrice &m)
{
    return dcryptfich(a, b, m.init);
}

class Fichiers : public testing::TestWithParam<Operation> {};

TEST_P(Fichiers, RefusSansRienDetruire)
{
    Dossier d;
    const std::string source = d / "src", contenu = "contenu a garder\n";
    ecrire(source, contenu);
    ASSERT_EQ(link(source.c_str(), (d / "dur").c_str()), 0);
    ASSERT_EQ(symlink("src", (d / "lien").c_str()), 0);
    const struct {
        std::string src, dst;
        int attendu;
    } cas[] = {
        {d / "absent", d / "dst", RES_INTROUVABLE},
        {d.chemin.string(), d / "dst", RES_INTROUVABLE},
        {source, source, RES_MEME_FICHIER},
        {source, (d.chemin / "." / "src").string(), RES_MEME_FICHIER},
        {source, d / "dur", RES_MEME_FICHIER},
        {source, d / "lien", RES_MEME_FICHIER},
        {source, d / "pas_de_dossier/dst", RES_DESTINATION},
        {source, d.chemin.string(), RES_DESTINATION},
        {source, "/dev/full", RES_ECRITURE},
        {"/proc/self/mem", d / "lu", RES_LECTURE},  // a plain file whose first read fails
    };
    const Matrice m(G1);
    for (const auto &c : cas) {
        EXPECT_EQ(GetParam()(c.src.c_str(), c.dst.c_str(), m), c.attendu) << c.src << " -> " << c.dst;
        EXPECT_EQ(lire(source), contenu) << c.dst;
    }
    EXPECT_FALSE(std::filesystem::exists(d / "dst"));
    ecrire(d / "dst", std::string(1000, 'x'));
    EXPECT_EQ(GetParam()(source.c_str(), (d / "dst").c_str(), m), RES_OK);
    EXPECT_LT(lire(d / "dst").size(), 1000u);  // an existing destination is replaced
}

INSTANTIATE_TEST_SUITE_P(Operations, Fichiers, testing::Values(opCrypt, opDcrypt),
                         [](const testing::TestParamInfo<Operation> &i) {
                             return std::string(i.param == opCrypt ? "crypt" : "dcrypt");
                         });

}  // namespace
