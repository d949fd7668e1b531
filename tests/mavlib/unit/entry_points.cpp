// The library calls the program's entry points; these unit tests never start
// the user thread, so they do nothing.
#include "mavlib.h"

void UserSetup(void) {}
void UserMain(void) {}
void UserExit(void) {}
