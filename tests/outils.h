#ifndef G4CRYPT_TESTS_OUTILS_H
#define G4CRYPT_TESTS_OUTILS_H

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

// A fresh directory for one test, removed with everything in it.
struct Dossier {
    std::filesystem::path chemin;
    Dossier()
    {
        std::string modele = (std::filesystem::temp_directory_path() / "g4crypt.XXXXXX").string();
        if (mkdtemp(modele.data()) == nullptr)
            std::abort();
        chemin = modele;
    }
    ~Dossier() { std::filesystem::remove_all(chemin); }
    std::string operator/(const std::string &nom) const { return (chemin / nom).string(); }
};

inline std::string lire(const std::string &chemin)
{
    std::ifstream f(chemin, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

inline void ecrire(const std::string &chemin, const std::string &contenu)
{
    std::ofstream(chemin, std::ios::binary) << contenu;
}

// Rows of known matrices, as the digits string of a valid file.
inline const char *const G1 = "10001110\n01001101\n00101011\n00010111\n";
inline const char *const G2 = "11010000\n01100100\n10100010\n11000001\n";
inline const char *const G3 = "11100001\n11000010\n10100100\n01101000\n";

#endif
