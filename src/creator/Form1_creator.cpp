// The Creator panel: action chooser, world and tome lists, launch dispatch.
#include "app/Form1.h"

void Form1::FillCreatorActions() {}
void Form1::FillTomeList() {}
void Form1::CreatorCombo_Click() {}
void Form1::CreatorWorldList_Click() {}
void Form1::CreatorTomeList_Click() {}
void Form1::CreatorLaunchBtn_Click() {}
void Form1::CreatorLaunch() {}
void Form1::WriteWorldScript() {}
void Form1::WriteTomeScript() {}
