// The transaction modes, the bypasses and the window commands.
#include "entry/arinput.h"

namespace tallic {

void Arinput::NormalMode() { }
void Arinput::PaymentMode() { }
void Arinput::AdjustCreditMode() { }
void Arinput::RedoChit() { }
void Arinput::cmdnormal_Click() { }
void Arinput::cmdpayments_Click() { }
void Arinput::cmdadjust_Click() { }
void Arinput::cmdredo_Click() { }
void Arinput::cmdscbypass_Click() { }
void Arinput::cmdtaxbypass_Click() { }
void Arinput::cmdautogenerate_Click() { }
void Arinput::mnuautogen_Click() { }
void Arinput::cmdexit_Click() { }
void Arinput::exit_Click() { }
void Arinput::lblconsolidate_MouseMove(int, int, double, double) { }

} // namespace tallic
