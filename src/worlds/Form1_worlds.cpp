// Worlds: the catalogue in the two world lists, switching, and the player launch.
#include "app/Form1.h"

void Form1::ScanWorlds() {}
void Form1::SwitchWorldIn() {}
void Form1::SwitchWorldOut() {}
void Form1::LaunchPlayerWorld() {}
void Form1::PlayerLaunchBtn_Click() {}
bool Form1::SwitchSavedWorldOut(QLabel*) {
    return true;
}
void Form1::LaunchWorldProgram(const QString&, int, QLabel*) {}
