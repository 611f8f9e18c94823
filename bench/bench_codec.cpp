// Encoding and decoding speed against cp of a file of the encoded size,
// all measured in the same run. Usage: bench_codec [directory] [MiB] [runs]
#include "matrice.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

double secondes(const std::chrono::steady_clock::time_point &debut)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - debut).count();
}

double mediane(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

bool ecrireAleatoire(const std::string &nom, size_t taille)
{
    FILE *f = fopen(nom.c_str(), "wb");
    if (f == nullptr)
        return false;
    std::mt19937_64 alea(42);
    std::vector<unsigned long long> bloc(1 << 16);
    bool ok = true;
    for (size_t fait = 0; ok && fait < taille; fait += bloc.size() * 8) {
        for (auto &x : bloc)
            x = alea();
        ok = fwrite(bloc.data(), 1, std::min(bloc.size() * 8, taille - fait), f) > 0;
    }
    return fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char **argv)
{
    const std::string dossier = argc > 1 ? argv[1] : ".";
    const size_t mio = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 256;
    const int essais = argc > 3 ? std::atoi(argv[3]) : 5;
    const std::string mat = dossier + "/bench.g4", src = dossier + "/bench.src", code = dossier + "/bench.code",
                      copie = dossier + "/bench.cp", retour = dossier + "/bench.back";

    FILE *f = fopen(mat.c_str(), "w");
    if (f == nullptr || fputs("10001110\n01001101\n00101011\n00010111\n", f) < 0 || fclose(f) != 0 ||
        !ecrireAleatoire(src, mio << 20)) {
        fprintf(stderr, "cannot write in %s\n", dossier.c_str());
        return 1;
    }
    char str[TAILLE_STR] = {};
    double init[4];
    if (matriceDecod(mat.c_str(), init, str) != 0 || cryptfich(src.c_str(), code.c_str(), str) != 0) {
        fprintf(stderr, "setup failed\n");
        return 1;
    }

    std::vector<double> tCp, tCrypt, tDcrypt;
    const std::string cp = "cp " + code + " " + copie;
    for (int i = 0; i < essais; ++i) {
        auto debut = std::chrono::steady_clock::now();
        if (system(cp.c_str()) != 0)
            return 1;
        tCp.push_back(secondes(debut));
        debut = std::chrono::steady_clock::now();
        if (cryptfich(src.c_str(), code.c_str(), str) != 0)
            return 1;
        tCrypt.push_back(secondes(debut));
        debut = std::chrono::steady_clock::now();
        if (dcryptfich(code.c_str(), retour.c_str(), init) != 0)
            return 1;
        tDcrypt.push_back(secondes(debut));
    }
    const bool identique = system(("cmp -s " + src + " " + retour).c_str()) == 0;
    for (const std::string &n : {mat, src, code, copie, retour})
        remove(n.c_str());

    const double mb = static_cast<double>(mio << 20) / 1e6;
    printf("source %zu MiB, %d runs, medians\n", mio, essais);
    printf("cp of the encoded file: %.3f s\n", mediane(tCp));
    printf("encode: %.3f s  %.0f MB/s of source  %.2f x cp\n", mediane(tCrypt), mb / mediane(tCrypt),
           mediane(tCrypt) / mediane(tCp));
    printf("decode: %.3f s  %.0f MB/s of source  %.2f x cp\n", mediane(tDcrypt), mb / mediane(tDcrypt),
           mediane(tDcrypt) / mediane(tCp));
    printf("round trip %s\n", identique ? "identical" : "DIFFERENT");
    return identique ? 0 : 1;
}
