#ifndef G4CRYPT_FUZZ_COMMUN_H
#define G4CRYPT_FUZZ_COMMUN_H

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

// A file name of this process's own in the temporary directory.
inline std::string fichier(const char *nom)
{
    const char *dossier = getenv("TMPDIR");
    return std::string(dossier != nullptr ? dossier : "/tmp") + "/g4fuzz." + std::to_string(getpid()) + "." + nom;
}

inline std::string ecrireFichier(const char *nom, const uint8_t *data, size_t size)
{
    const std::string chemin = fichier(nom);
    FILE *f = fopen(chemin.c_str(), "wb");
    if (f == nullptr || fwrite(data, 1, size, f) != size || fclose(f) != 0)
        abort();
    return chemin;
}

inline std::string lireFichier(const std::string &chemin)
{
    std::string s;
    FILE *f = fopen(chemin.c_str(), "rb");
    if (f == nullptr)
        abort();
    for (int c; (c = getc(f)) != EOF;)
        s += static_cast<char>(c);
    fclose(f);
    return s;
}

#define VERIFIER(cond)                                                                                                 \
    do {                                                                                                               \
        if (!(cond)) {                                                                                                 \
            fprintf(stderr, "failed: %s\n", #cond);                                                                    \
            abort();                                                                                                   \
        }                                                                                                              \
    } while (0)

#endif
