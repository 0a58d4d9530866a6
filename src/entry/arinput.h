#pragma once

#include "basic/chit.h"
#include "basic/chitdates.h"
#include "basic/postingrules.h"
#include "basic/result.h"
#include "entry/chitamounts.h"
#include "entry/entrystart.h"
#include "entry/fieldchecks.h"
#include "entry/fieldlookup.h"
#include "platform/form.h"
#include "posting/batch.h"
#include "posting/chitrow.h"
#include "posting/modes.h"
#include "store/pendingwrites.h"
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

    Control Text1(int index) const { return control(QStringLiteral("Text1"), index); }
    Control Label1(int index) const { return control(QStringLiteral("Label1"), index); }
    Control txtprev(int index) const { return control(QStringLiteral("txtprev"), index); }

    // Posting, modes and batches.
    void PostChit();
    // The chit on the screen, as OK takes it.
    Chit readChit() const;
    void NormalMode();
    // A payment, or an adjustment or credit (the operator is asked which), on a screen
    // made normal first.
    void enterMode(TransMode mode);
    void RedoChit();
    // The calendar opens on the date given, else on today.
    void StartBatch(qint32 openOn = 0);
    // The batch date from the picker, held to the open month; false when none was chosen
    // (the batch that was goes on) or the program ends.
    bool chooseBatchDate(qint32 openOn);

    // What AutoGenerate opens: the window of the layer above, installed at start.
    static void setAutoGenerateOpener(std::function<void()> open);
    // AutoGenerate has closed: the focus leaves the button that opened it, where the next
    // Enter would open it again, for the field whose prompt the help line shows.
    void backFromAutoGenerate();

    // The start-up, with the club's settings; the batch and the chit being keyed.
    const EntryStart &start() const { return start_; }
    const Batch &batch() const { return batch_; }
    const KeyedChit &keyed() const { return keyed_; }

    // Window state: the G/L field keeps its account from chit to chit while locked.
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
    Batch batch_;
    KeyedChit keyed_;
    FieldLookup lookups_;
    FieldChecks fields_;
    ChitAmounts amounts_;

    bool refilling_ = false; // the program, not the operator, is filling a field
    int promptField_ = Field::GlAccount; // the field whose prompt the help line shows

    // What OK decides from besides the chit, and the boxes of its refusals.
    PostingContext postingContext() const;
    void refusePosting(const PostingDecision &decision);
    WriteResult storeChit(const Chit &chit, const QString &key,
                          const std::optional<ChitPeriod> &unlessAlike);
    std::optional<ChitPeriod> alikePeriod(const Chit &chit) const;
    bool askToPostAlikeAgain(const Chit &chit, const ChitPeriod &period);
    // The operator's notice of a chit whose row could not be stored.
    void reportUnstoredChit(const QString &chit, const QString &reason);
    // A stored chit in the batch: the count, the validity totals, the previous chit.
    void countChit(const Chit &chit);

    // A chit whose post the server left untold stays on the screen, noted on the disk, and
    // is looked up (with the workstation's other untold writes) before anything is stored
    // again: at the next OK, and when the program starts.
    static const QString UnknownTitle;
    std::optional<PendingWrite> unknownChit_;
    int unknownBatch_ = 0; // the batch it was posted in
    PendingWrite pendingChit(const Chit &chit, const QString &key,
                             const ServerSession &session) const;
    static Chit chitOf(const PendingWrite &write);
    void reportUnknownChit(const PendingWrite &write);
    enum class Settled {
        GoOn, // nothing untold stands in the way: the chit on the screen is posted
        ChitKept, // the chit stays on the screen: told of in a box, or still unknown
        ChitCounted, // the chit on the screen was found stored, and counted
    };
    Settled settleUnknownWrites();
    // At start, before the first batch: every untold write of the workstation, told in one box.
    void settleAtStart();
    void showServerWait(bool waiting);
    QString helpBeforeWait_;
};

} // namespace tallic
