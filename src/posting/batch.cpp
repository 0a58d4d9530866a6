// Starting a batch and the batch's validity totals.
#include "entry/arinput.h"

namespace tallic {

void Arinput::cmdnewbatch_Click() { }
void Arinput::StartBatch() { }
void Arinput::UpdateValidityTotals() { }
void Arinput::txtvalid_MouseMove(int, int, int, double, double) { }

} // namespace tallic
