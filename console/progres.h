#ifndef G4CRYPT_PROGRES_H
#define G4CRYPT_PROGRES_H

#include <cstddef>
#include <cstdio>

// The progress line of an operation that has done fait bytes of a source
// of total bytes (0 when its size is unknown) in secondes: the longest of
// its forms that is narrower than largeur, so that it never wraps:
// "Progression: 42 % (1,4 Go sur 3,3 Go), encore 12 s",
// "Progression: 42 %, encore 12 s", "Progression: 42 %", "42 %", "".
void ligneProgres(char *ligne, size_t taille, unsigned long long fait, unsigned long long total, double secondes,
                  int largeur);

// What the line is drawn with: a clock in seconds that never goes back,
// the screen's width in columns (1 at least), and the screen's stream.
struct Affichage {
    double (*horloge)();
    int (*largeur)();
    FILE *sortie;
};

// From now on the file layer's operations show their progress through a,
// which must last as long as they do.
void installerProgres(const Affichage *a);

// What the file layer calls: draws the line from a second into the
// operation, and takes it off the screen as the operation ends.
void etapeProgres(int etape, unsigned long long fait, unsigned long long total);

#endif
