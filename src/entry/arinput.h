#pragma once

#include "basic/chit.h"
#include "basic/chitdates.h"
#include "basic/result.h"
#include "entry/chitamounts.h"
#include "entry/entrycontrols.h"
#include "entry/entrystart.h"
#include "entry/fieldchecks.h"
#include "entry/fieldlookup.h"
#include "platform/form.h"
#include "posting/batch.h"
#include "posting/batchscreen.h"
#include "posting/chitposting.h"
#include "posting/entrymodes.h"
#include "posting/modes.h"
#include "suite/arsettings.h"
#include "suite/tools.h"

#include <functional>
#include <optional>

namespace tallic {

// The chit entry window: ten chit fields keyed one after the other, the previous chit,
// the batch's count and control total, and the mode commands.
class Arinput : public Form
{
    Q_OBJECT

public:
    Arinput();

    Control Text1(int index) const { return tallic::Text1(*this, index); }
    Control Label1(int index) const { return tallic::Label1(*this, index); }
    Control txtprev(int index) const { return tallic::txtprev(*this, index); }

    // The start-up, with the club's settings; the modes on the screen.
    const EntryStart &start() const { return start_; }
    EntryModes &modes() { return modes_; }

    // Window state that the handlers and the window's parts share: the batch and the chit
    // being keyed; the G/L field keeps its account from chit to chit while locked.
    Batch batch_;
    KeyedChit keyed_;
    bool GlLocked = false;
    int LastChangedField = 0;

private slots:
    void Form_Initialize();
    void Form_Load();
    void Form_Activate();
    void Form_Unload(int &Cancel);

    void Text1_GotFocus(int Index);
    void Text1_KeyDown(int Index, int &KeyCode, int Shift);
    void Text1_KeyPress(int Index, int &KeyAscii);
    void Text1_Click(int Index);
    void Text1_MouseDown(int Index, int Button, int Shift, double X, double Y);
    void Text1_MouseMove(int Index, int Button, int Shift, double X, double Y);
    void Text1_Change(int Index);
    void Text1_LostFocus(int Index);

    // Posting and modes.
    void cmdokay_Click();
    void cmdnormal_Click();
    void cmdpayments_Click();
    void cmdadjust_Click();
    void cmdredo_Click();
    void cmdscbypass_Click();
    void cmdtaxbypass_Click();
    void cmdautogenerate_Click();
    void mnuautogen_Click();
    void cmdexit_Click();
    void exit_Click();
    void lblconsolidate_MouseMove(int Button, int Shift, double X, double Y);

    // Batches and validity totals.
    void cmdnewbatch_Click();
    void txtvalid_MouseMove(int Index, int Button, int Shift, double X, double Y);

    // The suite's other programs.
    void dpedit_Click();
    void eomeditor_Click();
    void info_Click();
    void help_Click();

    // Field options and the memo.
    void Label1_Click(int Index);
    void Label2_Click();
    void txtmemo_GotFocus();
    void txtmemo_LostFocus();
    void txtmemo_KeyDown(int &KeyCode, int Shift);
    void txtmemo_KeyPress(int &KeyAscii);

protected:
    void changeEvent(QEvent *event) override;

private:
    EntryStart start_;
    // The settings as the handlers read them.
    const ArSettings &settings_ = start_.settings();
    FieldLookup lookups_;
    FieldChecks fields_;
    ChitAmounts amounts_;

    bool refilling_ = false; // the program, not the operator, is filling a field
    int promptField_ = Field::GlAccount; // the field whose prompt the help line shows

    // The window's parts: the modes on the screen, the batch, and OK.
    friend class EntryModes;
    friend class BatchScreen;
    EntryModes modes_ { *this };
    BatchScreen batches_ { *this, batch_, modes_ };
    ChitPosting posting_ { *this, modes_, batches_ };
};

} // namespace tallic
