#include "saisie.h"

#include <climits>
#include <cstdio>

namespace {

bool estBlanc(int c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool estChiffre(int c)
{
    return c >= '0' && c <= '9';
}

// The first character of the next word, or EOF.
int debutMot()
{
    // A question must be seen before the program waits for its answer,
    // also when the output goes through a pipe.
    fflush(stdout);
    int c = getchar();
    while (estBlanc(c))
        c = getchar();
    return c;
}

// Leaves the blank that ended a word for the next reading.
void rendre(int c)
{
    if (c != EOF)
        ungetc(c, stdin);
}

int finirMot(int c)
{
    while (c != EOF && !estBlanc(c))
        c = getchar();
    rendre(c);
    return SAISIE_REFUS;
}

}  // namespace

int lireMot(char *nom, int taille)
{
    int c = debutMot();
    if (c == EOF)
        return SAISIE_FIN;
    int n = 0;
    for (; c != EOF && !estBlanc(c); c = getchar()) {
        if (c == '\0' || n >= taille - 1) {
            nom[0] = '\0';
            return finirMot(c);
        }
        nom[n++] = static_cast<char>(c);
    }
    nom[n] = '\0';
    rendre(c);
    return SAISIE_OK;
}

int lireNombre(int *val)
{
    int c = debutMot();
    if (c == EOF)
        return SAISIE_FIN;
    const bool negatif = c == '-';
    if (c == '-' || c == '+')
        c = getchar();
    if (!estChiffre(c))
        return finirMot(c);
    // Stops growing once past the range, which keeps it far from overflow.
    long long v = 0;
    for (; estChiffre(c); c = getchar())
        if (v <= INT_MAX)
            v = v * 10 + (c - '0');
    rendre(c);
    if (negatif)
        v = -v;
    *val = v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : static_cast<int>(v);
    return SAISIE_OK;
}

int demanderNom(const char *question, char *nom)
{
    for (;;) {
        printf("%s\n", question);
        const int r = lireMot(nom, TAILLE_NOM);
        if (r != SAISIE_REFUS)
            return r;
        printf("Nom de fichier refuse: 19 caracteres au plus.\n");
    }
}
