// The interface mode: which of the two panels of the Launcher tab is shown.
#include "app/Form1.h"

void Form1::SetPlayerInterface() {}
void Form1::SetCreatorInterface() {}
void Form1::InterfaceOption1_Click() {}
void Form1::InterfaceOption2_Click() {}
