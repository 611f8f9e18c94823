#include "progres.h"

#include "fichiers.h"

#include <climits>
#include <cstdio>
#include <cstring>

namespace {

// Before a second of work nothing is shown, and the line is redrawn four
// times a second at most.
constexpr double ATTENTE = 1.0;
constexpr double INTERVALLE = 0.25;

const Affichage *affichage = nullptr;
double debut = 0.0;
double dessin = 0.0;
size_t montre = 0;  // characters of the line now on the screen

// Bytes in French units of 1024, with a decimal comma, rounded down so
// that no unit shows 1024: "512 octets", "1,4 Go".
void taille(char *s, size_t n, unsigned long long octets)
{
    static const char *const unites[] = {"Ko", "Mo", "Go", "To"};
    if (octets < 1024) {
        snprintf(s, n, "%llu %s", octets, octets > 1 ? "octets" : "octet");
        return;
    }
    int u = 0;
    unsigned long long k = 1024;
    while (u < 3 && octets / k >= 1024) {
        k *= 1024;
        ++u;
    }
    snprintf(s, n, "%llu,%llu %s", octets / k, octets % k * 10 / k, unites[u]);
}

// Rounded up: "encore 0 s" would be said of work not yet done. Past a
// million hours the figure says nothing more, and must fit its integer.
void duree(char *s, size_t n, double secondes)
{
    const unsigned long long t = static_cast<unsigned long long>(secondes < 4e9 ? secondes : 4e9);
    const unsigned long long sec = t + (static_cast<double>(t) < secondes ? 1 : 0);
    if (sec < 60)
        snprintf(s, n, "%llu s", sec);
    else if (sec < 3600)
        snprintf(s, n, "%llu min %02llu s", sec / 60, sec % 60);
    else
        snprintf(s, n, "%llu h %02llu min", sec / 3600, sec / 60 % 60);
}

// What the line may cover of the screen: never its last column, which
// would wrap, also once the screen has been made narrower.
size_t bord(size_t n)
{
    const size_t limite = static_cast<size_t>(affichage->largeur()) - 1;
    return n < limite ? n : limite;
}

void effacer()
{
    if (montre == 0)
        return;
    fprintf(affichage->sortie, "\r%*s\r", static_cast<int>(bord(montre)), "");
    fflush(affichage->sortie);
    montre = 0;
}

}  // namespace

void ligneProgres(char *ligne, size_t n, unsigned long long fait, unsigned long long total, double secondes,
                  int largeur)
{
    char lu[32];
    char tout[32];
    char reste[48] = "";
    taille(lu, sizeof lu, fait);
    taille(tout, sizeof tout, total);
    // Never 100 % before the end, even from a source grown past its size.
    const unsigned long long pourcent = total == 0 || fait >= total ? 99
                                        : fait <= ULLONG_MAX / 100  ? fait * 100 / total
                                                                    : fait / (total / 100);
    if (secondes >= 2.0 && fait < total) {
        char d[32];
        duree(d, sizeof d, secondes * static_cast<double>(total - fait) / static_cast<double>(fait));
        snprintf(reste, sizeof reste, ", encore %s", d);
    }
    // From the longest form down; without a size, the amount alone.
    for (int forme = 0; forme < 4; ++forme) {
        if (total == 0)
            snprintf(ligne, n, forme == 0 ? "Progression: %s" : "%s", forme < 2 ? lu : "");
        else if (forme == 0)
            snprintf(ligne, n, "Progression: %llu %% (%s sur %s)%s", pourcent, lu, tout, reste);
        else if (forme == 1)
            snprintf(ligne, n, "Progression: %llu %%%s", pourcent, reste);
        else
            snprintf(ligne, n, forme == 2 ? "Progression: %llu %%" : "%llu %%", pourcent);
        if (strlen(ligne) < static_cast<size_t>(largeur))
            return;
    }
    ligne[0] = '\0';
}

void installerProgres(const Affichage *a)
{
    affichage = a;
    suivreProgres(etapeProgres);
}

void etapeProgres(int etape, unsigned long long fait, unsigned long long total)
{
    if (etape == PROGRES_FIN) {
        effacer();
        return;
    }
    const double t = affichage->horloge();
    if (etape == PROGRES_DEBUT) {
        debut = t;
        return;
    }
    if (t - debut < ATTENTE || (montre > 0 && t - dessin < INTERVALLE))
        return;
    dessin = t;
    char ligne[160];
    ligneProgres(ligne, sizeof ligne, fait, total, t - debut, affichage->largeur());
    // A carriage return and spaces over the rest of the last line: every
    // console understands them, escape sequences or not. What the screen
    // shows is no result: a failed write changes nothing else.
    const size_t n = strlen(ligne);
    montre = bord(montre);
    fprintf(affichage->sortie, "\r%s%*s", ligne, static_cast<int>(montre > n ? montre - n : 0), "");
    fflush(affichage->sortie);
    montre = n > montre ? n : montre;
}
