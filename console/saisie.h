#ifndef G4CRYPT_SAISIE_H
#define G4CRYPT_SAISIE_H

// Results of reading one answer from standard input.
enum {
    SAISIE_OK = 0,
    SAISIE_FIN = -1,  // end of input: the program stops
    SAISIE_REFUS = 1  // a word consumed whole but not taken
};

// A file name buffer: 19 characters of up to 4 bytes, and the terminator.
enum { NB_CARACTERES = 19, TAILLE_NOM = 4 * NB_CARACTERES + 1 };

// Reads the next word into nom, of TAILLE_NOM bytes. A word of more
// characters, counted as code points when its bytes are UTF-8 and as bytes
// otherwise, or one holding a null byte, is consumed whole and refused.
int lireMot(char *nom);

// Reads an optional sign and decimal digits; what follows the digits stays
// in the input. A word that is not a number is consumed whole and refused,
// leaving *val unchanged. Numbers beyond int are clamped to its range.
int lireNombre(int *val);

// Prints the question as a line and reads a file name, asking again after
// each refused word. Returns SAISIE_OK or SAISIE_FIN.
int demanderNom(const char *question, char *nom);

#endif
