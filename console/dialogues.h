#ifndef G4CRYPT_DIALOGUES_H
#define G4CRYPT_DIALOGUES_H

// The three operations' dialogues. Each repeats its questions until its
// deciding call succeeds, leaving that call's result in *verif2, and
// returns SAISIE_OK, or SAISIE_FIN when the input ends.
int dialogueCrypt(char *acrypt, char *crypt, const char *str, int *verif2);
int dialogueDcrypt(char *crypt, char *dcrypt, const double *init, int *verif2);
int dialogueCombine(char *acrypt, char *crypt, char *dcrypt, const char *str, const double *init, int *verif2);

#endif
