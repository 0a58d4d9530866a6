// Switching fields on and off by their captions, and the chit memo.
#include "arinput.h"

namespace tallic {

void Arinput::Label1_Click(int) { }
void Arinput::Label2_Click() { }
void Arinput::txtmemo_GotFocus() { }
void Arinput::txtmemo_LostFocus() { }
void Arinput::txtmemo_KeyDown(int &, int) { }
void Arinput::txtmemo_KeyPress(int &) { }

} // namespace tallic
