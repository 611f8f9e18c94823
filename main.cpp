#include "ecran.h"
#include "menu.h"
#include "progres.h"

// Arguments are ignored: everything is asked at the console.
int main()
{
    // Only a screen shows the progress line: nothing of it reaches a pipe
    // or a file.
    const Affichage ecran = {horloge, largeurEcran, stdout};
    if (sortieEcran())
        installerProgres(&ecran);
    while (menu() == 1) {
    }
    return 0;
}
