#include "menu.h"

// Arguments are ignored: everything is asked at the console.
int main()
{
    while (menu() == 1) {
    }
    return 0;
}
