#ifndef G4CRYPT_ECRAN_H
#define G4CRYPT_ECRAN_H

// The lines stamped with the current date and time around an operation.
enum { DEBUT_CRYPTAGE, FIN_CRYPTAGE, DEBUT_DECRYPTAGE, FIN_DECRYPTAGE };

// Clears the console.
void effacer();

// Prints one of the lines above, followed by the current date and time.
void ligneHeure(int quelle);

#endif
