// Posting a chit: the last checks, the ardaily row and the previous-chit panel.
#include "entry/arinput.h"

#include "basic/masks.h"
#include "basic/numbers.h"
#include "basic/postingrules.h"
#include "chitrow.h"
#include "platform/runtime.h"
#include "suite/chitnumbers.h"
#include "suite/database.h"
#include "suite/logsync.h"
#include "suite/messages.h"
#include "suite/sharedstate.h"
#include "suite/today.h"

using namespace Qt::Literals::StringLiterals;

namespace tallic {

void Arinput::cmdokay_Click()
{
    PostChit();
}

void Arinput::PostChit()
{
    Control ok = ctl(u"cmdokay"_s);
    ok.setEnabled(false);
    // The chit is taken from the screen once; the corrections go back to it.
    const Chit keyed = readChit();
    const PostingDecision decision = decidePosting(keyed, postingContext());
    for (int i = Field::First; i <= Field::Last; ++i) {
        if (decision.chit[i] != keyed[i])
            Text1(i).setText(decision.chit[i]);
    }
    DoEvents();
    batch_.WorkDate = decision.workDate;
    if (decision.refusal != Refusal::None) {
        refusePosting(decision);
        return;
    }
    if (decision.madeCredit)
        showNotice(paymentCreditNotice());

    const Chit &chit = decision.chit;
    MouseBusy();
    Result<void> stored;
    {
        // The row goes to the disk beside the screen's update: the post's end waits for it.
        const LogSyncBeside beside;
        const WriteLabel label(u"chit "_s + chit[Field::ChitNumber]);
        stored = StoreChitRow(chit, batch_.StartStamp);
    }
    MouseArrow();
    if (!stored) {
        DbAddNewOff();
        reportUnstoredChit(chit[Field::ChitNumber], stored.failure().description);
        // The chit stays on the screen for correction and OK is offered again.
        ok.setEnabled(true);
        ok.setFocus();
        return;
    }
    if (!chit.memo.isEmpty())
        keyed_.LastMemoText = chit.memo;
    for (int i = Field::First; i <= Field::Last; ++i)
        txtprev(i).setText(chit[i]);
    DoEvents();

    // Only a stored chit counts in the batch.
    ++batch_.count;
    ctl(u"Text5"_s).setText(QString::number(batch_.count));
    UpdateValidityTotals();
    RedoChit();
    DbAddNewOff();
    DoEvents();
}

PostingContext Arinput::postingContext() const
{
    PostingContext context;
    context.memberTerminated = keyed_.MemberTerminated;
    context.workDate = batch_.WorkDate;
    context.today = SetToday().TodayNumber;
    context.arYear = settings_.ArYear;
    context.arMonth = settings_.ArMonth;
    context.accessLevel = session().AccessLevel;
    context.systemYear = platform().today().year();
    context.dateKeyed = Text1(Field::ChitDate).visible();
    // A chit number switched off is made up for every chit.
    if (!Text1(Field::ChitNumber).visible())
        context.drawnChitNumber = drawChitNumber();
    return context;
}

// The chit stays on the screen for correction and OK is offered again; the focus goes to
// what the operator has to put right.
void Arinput::refusePosting(const PostingDecision &decision)
{
    Control ok = ctl(u"cmdokay"_s);
    Control focus = ok;
    if (decision.refusal == Refusal::DateOutsideMonth) {
        MsgBox(dateRefusalText(decision.dateVerdict), BoxButtons::Ok, BoxIcon::Information,
               u"Date entered: "_s + QString::number(toLong(Val(decision.chit[Field::ChitDate]))));
        Control date = Text1(Field::ChitDate);
        if (date.enabled() && date.visible())
            focus = date;
    } else {
        showNotice(refusalNotice(decision.refusal));
    }
    ok.setEnabled(true);
    focus.setFocus();
}

Chit Arinput::readChit() const
{
    Chit chit;
    for (int i = Field::First; i <= Field::Last; ++i)
        chit[i] = Text1(i).text();
    // A memo switched off is not posted, whatever it still holds.
    Control memo = ctl(u"txtmemo"_s);
    if (memo.visible())
        chit.memo = memo.text();
    return chit;
}

// The chit stays on the screen uncounted, so the operator can post it again once the
// database takes it: a chit never disappears unstored.
void Arinput::reportUnstoredChit(const QString &chit, const QString &reason)
{
    MsgBox(u"Chit "_s + chit + u" was not stored:\n"_s + reason
               + u"\n\nThe chit stays on the screen. Press OK to post it again."_s,
           BoxButtons::Ok, BoxIcon::Critical, u"Chit not stored"_s);
    (void)LogActivity(u"Chit "_s + chit + u" not stored: "_s + reason);
}

} // namespace tallic
