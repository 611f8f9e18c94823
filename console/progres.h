#ifndef G4CRYPT_PROGRES_H
#define G4CRYPT_PROGRES_H

#include <cstddef>

// The progress line of an operation that has done fait bytes of a source
// of total bytes (0 when its size is unknown) in secondes, at most
// largeur - 1 characters, so that it never wraps:
// "Progression: 42 % (1,4 Go sur 3,3 Go), encore 12 s".
void ligneProgres(char *ligne, size_t taille, unsigned long long fait, unsigned long long total, double secondes,
                  int largeur);

// Shows the progress of long operations when standard output is a
// terminal or a console; nothing of it reaches a pipe or a file.
void installerProgres();

// Takes the progress line off the screen, if it is there, before anything
// else is printed.
void effacerProgres();

#endif
