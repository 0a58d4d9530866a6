// The menu commands that start the suite's other programs.
#include "arinput.h"

namespace tallic {

void Arinput::dpedit_Click() { }
void Arinput::eomeditor_Click() { }
void Arinput::info_Click() { }
void Arinput::help_Click() { }

} // namespace tallic
