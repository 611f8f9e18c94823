// Encoding and decoding speed against cp of a file of the encoded size, in
// pairs taken in turn (transform, cp, transform, cp...), each side writing a
// new file. Usage: bench_codec [directory] [pairs] [--memoire]
// --memoire also compares the peak resident size of encoding 1 MiB and 4 GiB.
#include "matrice.h"
#include "vecteur.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

using Horloge = std::chrono::steady_clock;

double secondes(Horloge::time_point debut)
{
    return std::chrono::duration<double>(Horloge::now() - debut).count();
}

double cpu(const rusage &u)
{
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double cpuSoi()
{
    rusage u;
    getrusage(RUSAGE_SELF, &u);
    return cpu(u);
}

double mediane(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

[[noreturn]] void echec(const std::string &quoi)
{
    fprintf(stderr, "bench: %s\n", quoi.c_str());
    exit(1);
}

void ecrireAleatoire(const std::string &nom, size_t taille)
{
    FILE *f = fopen(nom.c_str(), "wb");
    if (f == nullptr)
        echec("cannot create " + nom);
    std::mt19937_64 alea(42);
    std::vector<unsigned long long> bloc(1 << 16);
    for (size_t fait = 0; fait < taille; fait += bloc.size() * 8) {
        for (auto &x : bloc)
            x = alea();
        const size_t n = std::min(bloc.size() * 8, taille - fait);
        if (fwrite(bloc.data(), 1, n, f) != n)
            echec("cannot write " + nom);
    }
    if (fclose(f) != 0)
        echec("cannot write " + nom);
}

// cp src dst in a child process; returns its CPU time.
double copier(const std::string &src, const std::string &dst)
{
    const char *args[] = {"cp", src.c_str(), dst.c_str(), nullptr};
    pid_t pid;
    if (posix_spawnp(&pid, "cp", nullptr, nullptr, const_cast<char **>(args), environ) != 0)
        echec("cannot start cp");
    int statut;
    rusage u;
    if (wait4(pid, &statut, 0, &u) != pid || !WIFEXITED(statut) || WEXITSTATUS(statut) != 0)
        echec("cp failed");
    return cpu(u);
}

struct Resultat {
    std::vector<double> ratios, temps, cpus, cpusCp;
};

// One transformation against cp, in pairs; both sides write a file that does
// not exist yet, so neither pays for truncating the previous one.
template <typename F>
Resultat mesurer(F transformer, const std::string &dst, const std::string &aCopier, const std::string &copie,
                 int paires)
{
    Resultat r;
    for (int i = 0; i < paires; ++i) {
        remove(dst.c_str());
        double c = cpuSoi();
        auto debut = Horloge::now();
        if (transformer() != 0)
            echec("transformation failed");
        const double t = secondes(debut);
        r.cpus.push_back(cpuSoi() - c);

        remove(copie.c_str());
        debut = Horloge::now();
        r.cpusCp.push_back(copier(aCopier, copie));
        const double tCp = secondes(debut);
        r.temps.push_back(t);
        r.ratios.push_back(t / tCp);
    }
    return r;
}

void afficher(const char *nom, const Resultat &r, size_t octetsSource)
{
    const auto [mini, maxi] = std::minmax_element(r.ratios.begin(), r.ratios.end());
    printf("%-16s %8.0f MB/s %7.2f x cp  [%.2f .. %.2f]  CPU %.3f s (cp %.3f s)\n", nom,
           static_cast<double>(octetsSource) / 1e6 / mediane(r.temps), mediane(r.ratios), *mini, *maxi, mediane(r.cpus),
           mediane(r.cpusCp));
}

bool identiques(const std::string &a, const std::string &b)
{
    const std::string cmp = "cmp -s '" + a + "' '" + b + "'";
    return system(cmp.c_str()) == 0;
}

// Peak resident size, in KiB, of a child that encodes a source of that size.
long residentMax(const std::string &dossier, const char *str, unsigned long long taille)
{
    const std::string src = dossier + "/mem.src", dst = dossier + "/mem.code";
    FILE *f = fopen(src.c_str(), "wb");
    // Sparse: reads as zeros, so a large source costs no disk.
    if (f == nullptr ||
        (taille > 0 && (fseeko(f, static_cast<off_t>(taille - 1), SEEK_SET) != 0 || fputc(0, f) == EOF)) ||
        fclose(f) != 0)
        echec("cannot create " + src);
    const pid_t pid = fork();
    if (pid == 0)
        _exit(cryptfich(src.c_str(), dst.c_str(), str));
    int statut;
    rusage u;
    if (pid < 0 || wait4(pid, &statut, 0, &u) != pid || !WIFEXITED(statut) || WEXITSTATUS(statut) != 0)
        echec("encoding for the memory figure failed");
    remove(src.c_str());
    remove(dst.c_str());
    return u.ru_maxrss;
}

}  // namespace

int main(int argc, char **argv)
{
    const std::string dossier = argc > 1 ? argv[1] : ".";
    const int paires = argc > 2 ? std::max(1, atoi(argv[2])) : 9;
    const bool memoire = argc > 3 && strcmp(argv[3], "--memoire") == 0;
    const std::string mat = dossier + "/bench.g4", src = dossier + "/bench.src", code = dossier + "/bench.code",
                      copie = dossier + "/bench.cp", retour = dossier + "/bench.back";

    FILE *f = fopen(mat.c_str(), "w");
    if (f == nullptr || fputs("10001110\n01001101\n00101011\n00010111\n", f) < 0 || fclose(f) != 0)
        echec("cannot write in " + dossier);
    char str[TAILLE_STR] = {};
    double init[4];
    if (matriceDecod(mat.c_str(), init, str) != 0)
        echec("matrix refused");
    printf("vector path on this processor: %s\n", cheminVecteur() ? "yes" : "no");
    printf("%d pairs per line; ratios are medians of per-pair ratios, [min .. max]\n", paires);

    bool tousIdentiques = true;
    for (const size_t mio : {64, 256}) {
        const size_t taille = mio << 20;
        ecrireAleatoire(src, taille);
        printf("\n%zu MiB source, random, from the page cache\n", mio);
        for (const int chemin : {CHEMIN_AUTO, CHEMIN_TABLE}) {
            forcerChemin(chemin);
            const bool table = chemin == CHEMIN_TABLE;
            // Encoding writes 2N bytes: cp copies the encoded file, also 2N.
            if (cryptfich(src.c_str(), code.c_str(), str) != 0)
                echec("encoding failed");
            const Resultat e =
                mesurer([&] { return cryptfich(src.c_str(), code.c_str(), str); }, code, code, copie, paires);
            afficher(table ? "encode (table)" : "encode", e, taille);
            const Resultat d =
                mesurer([&] { return dcryptfich(code.c_str(), retour.c_str(), init); }, retour, code, copie, paires);
            afficher(table ? "decode (table)" : "decode", d, taille);
            tousIdentiques = tousIdentiques && identiques(src, retour);
        }
        forcerChemin(CHEMIN_AUTO);
    }
    if (memoire) {
        printf("\npeak resident size encoding 1 MiB: %ld KiB; 4 GiB: %ld KiB\n", residentMax(dossier, str, 1ULL << 20),
               residentMax(dossier, str, 4ULL << 30));
    }
    for (const std::string &n : {mat, src, code, copie, retour})
        remove(n.c_str());
    printf("\nround trips %s\n", tousIdentiques ? "identical" : "DIFFERENT");
    return tousIdentiques ? 0 : 1;
}
