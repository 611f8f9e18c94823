#ifndef G4CRYPT_TESTS_OUTILS_H
#define G4CRYPT_TESTS_OUTILS_H

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

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

// The names of the files in a directory, sorted.
inline std::vector<std::string> fichiers(const std::string &dossier)
{
    std::vector<std::string> noms;
    for (const auto &f : std::filesystem::directory_iterator(dossier))
        noms.push_back(f.path().filename().string());
    std::sort(noms.begin(), noms.end());
    return noms;
}

// n bytes of every value, in no simple order; none is 0 where 0 would
// encode as 0.
inline std::string motif(size_t n)
{
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>(i * 7 + i / 256 + 1);
    return s;
}

// Valid matrices whose identity columns sit in different places.
inline const char *const G1 = MATRICES "/0_0123_quatre_lignes.txt";
inline const char *const G2 = MATRICES "/0_3567_identite_a_droite.txt";
inline const char *const G3 = MATRICES "/0_7654_identite_decroissante.txt";

#endif
