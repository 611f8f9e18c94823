#include "matrice.h"
#include "outils.h"

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

std::string tousLesOctets()
{
    std::string s;
    for (int b = 0; b < 256; ++b)
        s += static_cast<char>(b);
    return s;
}

TEST(Codec, VecteursConnus)
{
    const struct {
        const char *lignes;
        std::string clair, code;
    } vecteurs[] = {
        {G1, "\x41\x00\xFF"s, "\x4D\x17\x00\x00\xFF\xFF"s},
        {G2, "\x41\xFF"s, "\x64\xC1\xD7\xD7"s},
    };
    for (const auto &v : vecteurs) {
        const Matrice m(v.lignes);
        EXPECT_EQ(crypter(m, v.clair), v.code) << v.lignes;
        EXPECT_EQ(decrypter(m, v.code), v.clair) << v.lignes;
    }
}

TEST(Codec, AllerRetourDesOctetsPourChaqueMatrice)
{
    const std::string clair = tousLesOctets() + std::string("\0\0\xff", 3);
    for (const char *lignes : {G1, G2, G3}) {
        const Matrice m(lignes);
        const std::string code = crypter(m, clair);
        EXPECT_EQ(code.size(), 2 * clair.size()) << lignes;
        EXPECT_EQ(decrypter(m, code), clair) << lignes;
    }
}

TEST(Codec, AutreMatriceDonneAutresOctetsSansErreur)
{
    EXPECT_EQ(decrypter(Matrice(G2), "\x4D\x17"), "\x5F");
    // Same identity positions, other rows: the source comes back.
    const std::string clair = tousLesOctets();
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

TEST(Codec, Tailles)
{
    const Matrice m(G1);
    EXPECT_EQ(crypter(m, ""), "");
    EXPECT_EQ(decrypter(m, ""), "");
    EXPECT_EQ(decrypter(m, "\x4D"), "");
    EXPECT_EQ(decrypter(m, "\x4D\x17\x4D"), "\x41");
    EXPECT_EQ(crypter(m, std::string(100001, 'q')).size(), 200002u);
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

class Fichiers : public testing::TestWithParam<Operation> {
protected:
    Dossier d;
    Matrice m{G1};
    const std::string source = d / "src";
    const std::string contenu = "contenu a garder\n";
    void SetUp() override { ecrire(source, contenu); }
    int lancer(const std::string &src, const std::string &dst) { return GetParam()(src.c_str(), dst.c_str(), m); }
};

TEST_P(Fichiers, SourceIntrouvableNeCreeRien)
{
    EXPECT_EQ(lancer(d / "absent", d / "dst"), RES_INTROUVABLE);
    EXPECT_EQ(lancer(d.chemin.string(), d / "dst"), RES_INTROUVABLE);
    EXPECT_FALSE(std::filesystem::exists(d / "dst"));
}

TEST_P(Fichiers, DestinationQuiEstLaSourceLaLaissesIntacte)
{
    ASSERT_EQ(link(source.c_str(), (d / "dur").c_str()), 0);
    ASSERT_EQ(symlink("src", (d / "lien").c_str()), 0);
    for (const std::string &dst : {source, (d.chemin / "." / "src").string(), d / "dur", d / "lien"}) {
        EXPECT_EQ(lancer(source, dst), RES_MEME_FICHIER) << dst;
        EXPECT_EQ(lire(source), contenu) << dst;
    }
}

TEST_P(Fichiers, DestinationImpossibleOuPleine)
{
    EXPECT_EQ(lancer(source, d / "pas_de_dossier/dst"), RES_DESTINATION);
    EXPECT_EQ(lancer(source, d.chemin.string()), RES_DESTINATION);
    EXPECT_EQ(lancer(source, "/dev/full"), RES_ECRITURE);
    EXPECT_EQ(lire(source), contenu);
}

TEST_P(Fichiers, DestinationExistanteRemplacee)
{
    ecrire(d / "dst", std::string(1000, 'x'));
    EXPECT_EQ(lancer(source, d / "dst"), RES_OK);
    EXPECT_LT(lire(d / "dst").size(), 1000u);
}

INSTANTIATE_TEST_SUITE_P(Operations, Fichiers, testing::Values(opCrypt, opDcrypt),
                         [](const testing::TestParamInfo<Operation> &i) {
                             return std::string(i.param == opCrypt ? "crypt" : "dcrypt");
                         });

}  // namespace
