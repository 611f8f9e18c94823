#include "menu.h"
#include "progres.h"

// Arguments are ignored: everything is asked at the console.
int main()
{
    installerProgres();
    while (menu() == 1) {
    }
    return 0;
}
