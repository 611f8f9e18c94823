#ifndef G4CRYPT_MATRICE_H
#define G4CRYPT_MATRICE_H

// Results of the matrix reader and of the two file transformations.
enum {
    RES_OK = 0,
    RES_INTROUVABLE = 1,   // input file cannot be opened or is not a plain file
    RES_NB_CHIFFRES = 2,   // matrix file without exactly 32 binary digits
    RES_IDENTITE = 3,      // a matrix row without identity column
    RES_MEME_FICHIER = 4,  // destination is the source itself
    RES_DESTINATION = 5,   // destination cannot be opened for writing
    RES_ECRITURE = 6,      // writing, flushing or closing the destination failed
    RES_LECTURE = 7        // reading the source failed before its end
};

// Sizes of the caller-owned buffers.
enum { TAILLE_STR = 255, NB_CHIFFRES = 32 };

int matriceDecod(const char *nom, double *init, char *str);

void fusioBin(const char *str, char *chainemod, int deb, int taille);
void fusioChain(char *chainemod1, const char *chainemod2, int taille);
int decToInt(const char *partMat, int deb, int tailleMat);
int cryptfich(const char *nomA, const char *nomC, const char *str);

// nomClair, when given, is a file the decrypted copy must not replace
// either: in one dialogue, the file just encrypted.
int dcryptfich(const char *nomA, const char *nomD, const double *init, const char *nomClair = nullptr);

#endif
