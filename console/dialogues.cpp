#include "dialogues.h"

#include "ecran.h"
#include "matrice.h"
#include "saisie.h"

#include <cstdio>

// Macros, so that the headings join them as literals.
#define Q_A_CRYPTER "Quel est le nom du fichier a crypter se trouvant dans le dossier que cet exe?"
#define Q_CRYPTE "Quel sera le nom du fichier une fois crypter?"
#define Q_DECRYPTE "Quel sera le nom du fichier une fois decrypter?"

namespace {

// Shows the outcome of one encoder or decoder call: the end line on
// success, otherwise the message of the failure on a cleared screen.
void conclure(int res, int ligneFin, const char *nomSrc, const char *nomDst)
{
    if (res == RES_OK) {
        ligneHeure(ligneFin);
        return;
    }
    effacer();
    switch (res) {
    case RES_INTROUVABLE:
        messageNom("Erreur, fichier %s introuvable.\n", nomSrc);
        break;
    case RES_MEME_FICHIER:
        messageNom("Erreur, fichier %s identique au fichier source.\n", nomDst);
        break;
    case RES_DESTINATION:
        messageNom("Erreur, fichier %s impossible a creer.\n", nomDst);
        break;
    case RES_LECTURE:
        messageNom("Erreur, lecture du fichier %s impossible.\n", nomSrc);
        break;
    default:
        messageNom("Erreur, ecriture du fichier %s impossible.\n", nomDst);
        break;
    }
}

}  // namespace

int dialogueCrypt(char *acrypt, char *crypt, const char *str, int *verif2)
{
    effacer();
    do {
        if (demanderNom("Cryptage:\n" Q_A_CRYPTER, acrypt) == SAISIE_FIN ||
            demanderNom("\n" Q_CRYPTE, crypt) == SAISIE_FIN)
            return SAISIE_FIN;
        printf("\n");
        ligneHeure(DEBUT_CRYPTAGE);
        *verif2 = cryptfich(acrypt, crypt, str);
        conclure(*verif2, FIN_CRYPTAGE, acrypt, crypt);
    } while (*verif2 != RES_OK);
    return SAISIE_OK;
}

int dialogueDcrypt(char *crypt, char *dcrypt, const double *init, int *verif2)
{
    effacer();
    do {
        if (demanderNom("Decryptage:\nQuel est le nom du fichier a decrypter se trouvant dans le dossier que cet exe?",
                        crypt) == SAISIE_FIN ||
            demanderNom(Q_DECRYPTE, dcrypt) == SAISIE_FIN)
            return SAISIE_FIN;
        ligneHeure(DEBUT_DECRYPTAGE);
        *verif2 = dcryptfich(crypt, dcrypt, init);
        conclure(*verif2, FIN_DECRYPTAGE, crypt, dcrypt);
    } while (*verif2 != RES_OK);
    return SAISIE_OK;
}

int dialogueCombine(char *acrypt, char *crypt, char *dcrypt, const char *str, const double *init, int *verif2)
{
    effacer();
    do {
        if (demanderNom("Cryptage&Decryptage:\n" Q_A_CRYPTER, acrypt) == SAISIE_FIN ||
            demanderNom(Q_CRYPTE, crypt) == SAISIE_FIN)
            return SAISIE_FIN;
        ligneHeure(DEBUT_CRYPTAGE);
        // Only the decryption decides: after a failed encryption, an older
        // file of that name is still decrypted.
        *verif2 = cryptfich(acrypt, crypt, str);
        conclure(*verif2, FIN_CRYPTAGE, acrypt, crypt);
        if (demanderNom("\n" Q_DECRYPTE, dcrypt) == SAISIE_FIN)
            return SAISIE_FIN;
        ligneHeure(DEBUT_DECRYPTAGE);
        // Decrypting over the file just encrypted would replace it with
        // whatever the encrypted name holds, a partial or an older file.
        *verif2 = dcryptfich(crypt, dcrypt, init, acrypt);
        conclure(*verif2, FIN_DECRYPTAGE, crypt, dcrypt);
    } while (*verif2 != RES_OK);
    return SAISIE_OK;
}
