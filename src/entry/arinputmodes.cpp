// The window commands: OK, the modes, the bypasses, NEW BATCH and AutoGenerate.
#include "entry/arinput.h"
#include "entry/entryscreen.h"
#include "platform/colors.h"
#include "platform/runtime.h"

using namespace Qt::Literals::StringLiterals;

namespace tallic {

void Arinput::cmdokay_Click()
{
    posting_.post();
}

void Arinput::cmdnormal_Click()
{
    modes_.normalMode();
}

void Arinput::cmdpayments_Click()
{
    modes_.enterMode(TransMode::Payment);
}

// An adjustment to a previous month, or a current-month credit: the operator is asked.
void Arinput::cmdadjust_Click()
{
    modes_.enterMode(TransMode::Adjustment);
}

void Arinput::cmdredo_Click()
{
    modes_.redoChit();
}

namespace {

void showBypass(Control button, Control label, const BypassLook &look, quint32 frameText)
{
    button.setCaption(look.button);
    label.setForeColor(look.on ? Colors::Red : frameText);
    label.setCaption(look.label);
    label.refresh();
}

} // namespace

void Arinput::cmdscbypass_Click()
{
    showBypass(control(u"cmdscbypass"_s), Label1(Field::ServiceCharge), keyed_.toggleScBypass(),
               control(u"Frame1"_s).foreColor());
    DoEvents();
}

void Arinput::cmdtaxbypass_Click()
{
    showBypass(control(u"cmdtaxbypass"_s), Label1(Field::Tax), keyed_.toggleTaxBypass(),
               control(u"Frame1"_s).foreColor());
    DoEvents();
}

void Arinput::cmdautogenerate_Click()
{
    mnuautogen_Click();
}

void Arinput::mnuautogen_Click()
{
    EntryModes::openAutoGenerate();
    DoEvents();
}

// The program presses this button by itself at start-up; the operator for every batch after.
void Arinput::cmdnewbatch_Click()
{
    batches_.start();
}

void Arinput::txtvalid_MouseMove(int Index, int, int, double, double)
{
    if (Index < 0 || Index > 3)
        return;
    Control help = control(u"helpwindow"_s);
    help.setText(Batch::validityHelp(Index));
    help.refresh();
}

void Arinput::cmdexit_Click()
{
    unload();
}

void Arinput::exit_Click()
{
    unload();
}

void Arinput::lblconsolidate_MouseMove(int, int, double, double)
{
    Control help = control(u"helpwindow"_s);
    help.setText(
        u"Consolidate mode ON. Service charges and taxes must be keyed as separate chits when consolidate mode is on. The system will not calculate them automatically."_s);
    help.refresh();
}

} // namespace tallic
