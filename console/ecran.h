#ifndef G4CRYPT_ECRAN_H
#define G4CRYPT_ECRAN_H

// The lines stamped with the current date and time around an operation.
enum { DEBUT_CRYPTAGE, FIN_CRYPTAGE, DEBUT_DECRYPTAGE, FIN_DECRYPTAGE };

// Makes standard output wait where it was left non-blocking, rather than
// lose what it could not write at once. Before anything is printed.
void preparerSortie();

// Clears the console.
void effacer();

// Prints one of the lines above, followed by the current date and time.
void ligneHeure(int quelle);

// Prints format with the name in place of its %s.
void messageNom(const char *format, const char *nom);

// Whether standard output is a terminal or a console, and how many
// columns it shows (80 when it does not say; never less than 1).
bool sortieEcran();
int largeurEcran();

// Seconds from a fixed point, never going back: what the progress line is
// timed with.
double horloge();

#endif
