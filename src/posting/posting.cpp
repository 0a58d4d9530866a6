// Posting a chit: the last checks, the ardaily row and the previous-chit panel.
#include "entry/arinput.h"

namespace tallic {

void Arinput::cmdokay_Click() { }
void Arinput::PostChit() { }
void Arinput::StoreChitRow() { }

} // namespace tallic
