#include "ecran.h"
#include "menu.h"
#include "progres.h"

#include <csignal>

// Arguments are ignored: everything is asked at the console.
int main()
{
#ifdef SIGXFSZ
    // Past a file size limit (ulimit -f) a write fails, and is reported as
    // on a full disk, rather than end the program without a word.
    (void)signal(SIGXFSZ, SIG_IGN);
#endif
    preparerSortie();
    // Only a screen shows the progress line: nothing of it reaches a pipe
    // or a file.
    const Affichage ecran = {horloge, largeurEcran, stdout};
    if (sortieEcran())
        installerProgres(&ecran);
    while (menu() == 1) {
    }
    return 0;
}
