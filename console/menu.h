#ifndef G4CRYPT_MENU_H
#define G4CRYPT_MENU_H

// One cycle: matrix, operation, its dialogue, then the restart question.
// Returns the restart answer; end of input returns 0.
int menu();

#endif
