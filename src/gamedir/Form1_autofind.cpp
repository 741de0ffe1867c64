// The Autofind button: the window's share of the search of every drive.
#include "app/Form1.h"

void Form1::KVDirAutofindBtn_Click() {}
void Form1::AutofindGameDir() {}
