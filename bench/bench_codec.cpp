// Encoding and decoding speed against cp of a file of the encoded size and
// against the floor of the program's design: a process that does the same
// I/O, its input mapped, with a memcpy for the transform. Taken in turn
// (program, cp, floor, program, cp, floor...), each side writing a new file;
// each ratio is the program's time over the other side's in the same round.
// The program runs as its users run it: a whole process, started in the
// directory with its answers piped in. The forced table path can only be
// reached from inside, so its lines time the routines in this process.
// Usage: bench_codec [directory] [rounds] [--contre PROGRAM] [--memoire]
// [--progres]
// --contre also times another build of the program in each round, such as
// the one that landed before.
// --memoire also compares the peak resident size of encoding 1 MiB and 4 GiB.
// --progres also times decoding 8 GiB (sparse) at a pseudo-terminal, where
// the progress line is drawn, against the same through a pipe.
#include "fichiers.h"
#include "matrice.h"
#include "vecteur.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <pty.h>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
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

// Waits for the child; returns its CPU time.
double attendre(pid_t pid, const char *quoi)
{
    int statut;
    rusage u;
    if (wait4(pid, &statut, 0, &u) != pid || !WIFEXITED(statut) || WEXITSTATUS(statut) != 0)
        echec(std::string(quoi) + " failed");
    return cpu(u);
}

// cp src dst in a child process; returns its CPU time.
double copier(const std::string &src, const std::string &dst)
{
    const char *args[] = {"cp", src.c_str(), dst.c_str(), nullptr};
    pid_t pid;
    if (posix_spawnp(&pid, "cp", nullptr, nullptr, const_cast<char **>(args), environ) != 0)
        echec("cannot start cp");
    return attendre(pid, "cp");
}

// The program (this build, or another) in the directory, its answers piped
// in from the file reponses, its screen thrown away; returns its CPU time.
double programme(const std::string &dossier, const std::string &reponses, const char *exe = G4CRYPT)
{
    fflush(stdout);  // or the child's freopen would write this buffer again
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dossier.c_str()) == 0 && freopen(reponses.c_str(), "r", stdin) != nullptr &&
            freopen("/dev/null", "w", stdout) != nullptr)
            execl(exe, "g4crypt", static_cast<char *>(nullptr));
        _exit(127);
    }
    if (pid < 0)
        echec("cannot start the program");
    return attendre(pid, "the program");
}

// The same at a pseudo-terminal, where the progress line is drawn; what the
// screen would show is read and thrown away.
double programmeAuTerminal(const std::string &dossier, const std::string &reponses)
{
    fflush(stdout);
    int maitre = -1;
    const pid_t pid = forkpty(&maitre, nullptr, nullptr, nullptr);
    if (pid == 0) {
        if (chdir(dossier.c_str()) == 0 && freopen(reponses.c_str(), "r", stdin) != nullptr)
            execl(G4CRYPT, "g4crypt", static_cast<char *>(nullptr));
        _exit(127);
    }
    if (pid < 0)
        echec("cannot start the program at a terminal");
    char tampon[4096];
    // Ends when the program closes its side.
    while (read(maitre, tampon, sizeof tampon) > 0) {
    }
    close(maitre);
    return attendre(pid, "the program at a terminal");
}

// The floor: a process that maps src, advised as sequential, and writes dst
// in blocks of the program's size, each block of src copied twice over
// (encoding), or copied whole, for every byte to be read, and half of it
// written (decoding). Returns its CPU time.
double plancher(const std::string &src, const std::string &dst, bool crypter)
{
    const pid_t pid = fork();
    if (pid == 0) {
        const int e = open(src.c_str(), O_RDONLY), s = open(dst.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        struct stat st;
        if (e < 0 || s < 0 || fstat(e, &st) != 0)
            _exit(1);
        const size_t taille = static_cast<size_t>(st.st_size), bloc = crypter ? TAILLE_BLOC : 2 * TAILLE_BLOC;
        void *p = mmap(nullptr, taille, PROT_READ, MAP_SHARED, e, 0);
        if (p == MAP_FAILED || madvise(p, taille, MADV_SEQUENTIAL) != 0)
            _exit(1);
        static unsigned char sortie[2 * TAILLE_BLOC];
        for (size_t fait = 0; fait < taille; fait += bloc) {
            const auto *entree = static_cast<const unsigned char *>(p) + fait;
            const size_t n = std::min(bloc, taille - fait), m = crypter ? 2 * n : n / 2;
            memcpy(sortie, entree, n);
            if (crypter)
                memcpy(sortie + n, entree, n);
            if (write(s, sortie, m) != static_cast<ssize_t>(m))
                _exit(1);
        }
        _exit(close(s) == 0 ? 0 : 1);
    }
    if (pid < 0)
        echec("cannot start the floor");
    return attendre(pid, "the floor");
}

// What a side of a comparison took, round by round.
struct Resultat {
    std::vector<double> temps, cpus;
};

// A side: what it runs, returning its CPU time, and the file it writes, which
// is removed before it runs, so that no side pays for truncating a file.
struct Cote {
    const char *nom;
    std::function<double()> lancer;
    std::string ecrit;
};

std::vector<Resultat> mesurer(const std::vector<Cote> &cotes, int tours)
{
    std::vector<Resultat> r(cotes.size());
    for (int i = 0; i < tours; ++i)
        for (size_t c = 0; c < cotes.size(); ++c) {
            // Removed before it is written back, a file costs the disk
            // nothing: no sync here, which would make every side pay for
            // writing back what was thrown away.
            remove(cotes[c].ecrit.c_str());
            const auto debut = Horloge::now();
            r[c].cpus.push_back(cotes[c].lancer());
            r[c].temps.push_back(secondes(debut));
        }
    return r;
}

// The first side's speed in MB/s of source, then its time over each other
// side's, the median of the rounds' ratios with their spread.
void afficher(const char *nom, const std::vector<Cote> &cotes, const std::vector<Resultat> &r, size_t octetsSource)
{
    printf("%-22s %8.0f MB/s  CPU %.3f s\n", nom, static_cast<double>(octetsSource) / 1e6 / mediane(r[0].temps),
           mediane(r[0].cpus));
    for (size_t c = 1; c < r.size(); ++c) {
        std::vector<double> ratios;
        for (size_t i = 0; i < r[0].temps.size(); ++i)
            ratios.push_back(r[0].temps[i] / r[c].temps[i]);
        const auto [mini, maxi] = std::minmax_element(ratios.begin(), ratios.end());
        printf("  %5.2f x %-8s [%.2f .. %.2f]  (%s: %.0f MB/s, CPU %.3f s)\n", mediane(ratios), cotes[c].nom, *mini,
               *maxi, cotes[c].nom, static_cast<double>(octetsSource) / 1e6 / mediane(r[c].temps), mediane(r[c].cpus));
    }
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
    bool memoire = false, progres = false;
    const char *contre = nullptr;
    for (int i = 3; i < argc; ++i) {
        memoire = memoire || strcmp(argv[i], "--memoire") == 0;
        progres = progres || strcmp(argv[i], "--progres") == 0;
        if (strcmp(argv[i], "--contre") == 0 && i + 1 < argc)
            contre = argv[++i];
    }
    const std::string mat = dossier + "/bench.g4", src = dossier + "/bench.src", code = dossier + "/bench.code",
                      copie = dossier + "/bench.cp", retour = dossier + "/bench.back",
                      reponses[4] = {dossier + "/bench.enc", dossier + "/bench.dec", dossier + "/bench.enc2",
                                     dossier + "/bench.dec2"},
                      autre[2] = {dossier + "/bench.code2", dossier + "/bench.back2"};

    FILE *f = fopen(mat.c_str(), "w");
    if (f == nullptr || fputs("10001110\n01001101\n00101011\n00010111\n", f) < 0 || fclose(f) != 0)
        echec("cannot write in " + dossier);
    char str[TAILLE_STR] = {};
    double init[4];
    if (matriceDecod(mat.c_str(), init, str) != 0)
        echec("matrix refused");
    const char *const textes[4] = {"bench.g4 1 bench.src bench.code 2\n", "bench.g4 2 bench.code bench.back 2\n",
                                   "bench.g4 1 bench.src bench.code2 2\n", "bench.g4 2 bench.code bench.back2 2\n"};
    for (int i = 0; i < 4; ++i) {
        f = fopen(reponses[i].c_str(), "w");
        if (f == nullptr || fputs(textes[i], f) < 0 || fclose(f) != 0)
            echec("cannot write in " + dossier);
    }
    // In this process, a routine returns its result; its CPU time is measured here.
    const auto soi = [](int res) {
        if (res != 0)
            echec("transformation failed");
        return cpuSoi();
    };
    printf("vector path on this processor: %s\n", cheminVecteur() ? "yes" : "no");
    printf("%d rounds; each ratio is the median of the rounds' ratios, [min .. max]\n", paires);
    if (contre != nullptr)
        printf("the other build: %s\n", contre);

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
            const auto crypter = [&] {
                const double c = cpuSoi();
                return table ? soi(cryptfich(src.c_str(), code.c_str(), str)) - c : programme(dossier, reponses[0]);
            };
            const auto dcrypter = [&] {
                const double c = cpuSoi();
                return table ? soi(dcryptfich(code.c_str(), retour.c_str(), init)) - c
                             : programme(dossier, reponses[1]);
            };
            for (const bool enc : {true, false}) {
                // The program's output is what the next direction reads, so
                // that the sides write aside.
                std::vector<Cote> cotes = {{"", enc ? std::function<double()>(crypter) : dcrypter, enc ? code : retour},
                                           {"cp", [&] { return copier(code, copie); }, copie}};
                if (!table) {
                    cotes.push_back({"floor", [&, enc] { return plancher(enc ? src : code, copie, enc); }, copie});
                    if (contre != nullptr)
                        cotes.push_back({"other",
                                         [&, enc] { return programme(dossier, reponses[enc ? 2 : 3], contre); },
                                         enc ? autre[0] : autre[1]});
                }
                const char *nom =
                    enc ? (table ? "encode (table, inside)" : "encode") : (table ? "decode (table, inside)" : "decode");
                afficher(nom, cotes, mesurer(cotes, paires), taille);
            }
            tousIdentiques = tousIdentiques && identiques(src, retour);
        }
        forcerChemin(CHEMIN_AUTO);
    }
    if (progres) {
        // Seconds of work, for the line to be drawn a while; sparse, so that
        // the source costs no disk. What the last pair wrote is on disk
        // before each run, so that neither side pays for the other.
        const off_t taille = off_t{8} << 30;
        FILE *vide = fopen(code.c_str(), "wb");
        if (vide == nullptr || fclose(vide) != 0 || truncate(code.c_str(), taille) != 0)
            echec("cannot make a sparse " + code);
        Resultat terminal, tube;
        std::vector<double> ratios;
        for (int i = 0; i < paires; ++i) {
            remove(retour.c_str());
            sync();
            auto debut = Horloge::now();
            terminal.cpus.push_back(programmeAuTerminal(dossier, reponses[1]));
            terminal.temps.push_back(secondes(debut));
            remove(retour.c_str());
            sync();
            debut = Horloge::now();
            tube.cpus.push_back(programme(dossier, reponses[1]));
            tube.temps.push_back(secondes(debut));
            ratios.push_back(terminal.temps.back() / tube.temps.back());
        }
        const auto [mini, maxi] = std::minmax_element(ratios.begin(), ratios.end());
        printf("\n8 GiB sparse source decoded, progress line drawn at a terminal against a pipe\n");
        printf("terminal %6.0f MB/s, CPU %.3f s; pipe %6.0f MB/s, CPU %.3f s; terminal / pipe %.2f [%.2f .. %.2f]\n",
               static_cast<double>(taille) / 1e6 / mediane(terminal.temps), mediane(terminal.cpus),
               static_cast<double>(taille) / 1e6 / mediane(tube.temps), mediane(tube.cpus), mediane(ratios), *mini,
               *maxi);
    }
    if (memoire) {
        printf("\npeak resident size encoding 1 MiB: %ld KiB; 4 GiB: %ld KiB\n", residentMax(dossier, str, 1ULL << 20),
               residentMax(dossier, str, 4ULL << 30));
    }
    for (const std::string &n :
         {mat, src, code, copie, retour, reponses[0], reponses[1], reponses[2], reponses[3], autre[0], autre[1]})
        remove(n.c_str());
    printf("\nround trips %s\n", tousIdentiques ? "identical" : "DIFFERENT");
    return tousIdentiques ? 0 : 1;
}
