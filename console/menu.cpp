#include "menu.h"

#include "dialogues.h"
#include "ecran.h"
#include "fichiers.h"
#include "matrice.h"
#include "saisie.h"

#include <cstdio>

namespace {

// Ends the program on a fresh line when the input runs out.
int finEntree()
{
    printf("\n");
    return 0;
}

}  // namespace

int menu()
{
    char str[TAILLE_STR] = {};
    double init[4];
    char Nmat[TAILLE_NOM];
    char acrypt[TAILLE_NOM];
    char crypt[TAILLE_NOM];
    char dcrypt[TAILLE_NOM];
    int etatMenu = 0;
    int verif = 0;
    int verif2 = 0;

    do {
        effacer();
        if (verif == RES_INTROUVABLE)
            printf("Ce fichier n'existe pas.\n");
        else if (verif == RES_NB_CHIFFRES)
            printf("Il n'y a ps asse de 0 et de 1 pour faire une matrice g4 dans votre fichier.\n");
        else if (verif == RES_IDENTITE)
            printf("Il n'y a pas de partie identite dans votre matrice.\n");
        if (demanderNom("Quel est le nom de votre matrice G4 valide?", Nmat) == SAISIE_FIN)
            return finEntree();
        verif = matriceDecod(Nmat, init, str);
    } while (verif != RES_OK);

    do {
        effacer();
        printf("Que voulez-vous faire:\n1. Cryptage\n2. Decryptage\n3. Cryptage&Decryptage\n");
        if (lireNombre(&etatMenu) == SAISIE_FIN)
            return finEntree();
        printf("%d", etatMenu);
        effacer();
    } while (etatMenu <= 0 || etatMenu > 3);

    int r = SAISIE_OK;
    if (etatMenu == 1)
        r = dialogueCrypt(acrypt, crypt, str, &verif2);
    else if (etatMenu == 2)
        r = dialogueDcrypt(crypt, dcrypt, init, &verif2);
    else
        r = dialogueCombine(acrypt, crypt, dcrypt, str, init, &verif2);
    if (r == SAISIE_FIN)
        return finEntree();

    effacer();
    printf("Voulez vous recommencer ce programme cree par Quorvel?\n1.oui\n2.non\n");
    if (lireNombre(&verif) == SAISIE_FIN)
        return finEntree();
    return verif;
}
