// Posting a chit: the last checks, the ardaily row, and the writes the server left untold.
#include "chitposting.h"

#include "basic/chitdates.h"
#include "basic/masks.h"
#include "basic/numbers.h"
#include "basic/postingrules.h"
#include "entry/arinput.h"
#include "platform/runtime.h"
#include "posting/batchscreen.h"
#include "posting/entrymodes.h"
#include "store/database.h"
#include "store/datasource.h"
#include "store/logsync.h"
#include "store/writekeys.h"
#include "suite/chitnumbers.h"
#include "suite/messages.h"
#include "suite/sharedstate.h"
#include "suite/today.h"
#include "suite/unresolved.h"

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

const QString UnknownTitle = u"Chit outcome unknown"_s;

PendingWrite pendingChit(const Chit &chit, const QString &key, const QString &origin,
                         const ServerSession &session)
{
    PendingWrite write;
    write.key = key;
    write.chit = chit[Field::ChitNumber];
    write.origin = origin;
    write.at = QDateTime(platform().today(), platform().timeOfDay());
    write.session = session;
    for (int i = Field::First; i <= Field::Last; ++i)
        write.fields << chit[i];
    write.fields << chit.memo;
    return write;
}

Chit chitOf(const PendingWrite &write)
{
    Chit chit;
    for (int i = Field::First; i <= Field::Last; ++i)
        chit[i] = write.fields.value(i - Field::First);
    chit.memo = write.fields.value(Field::Last);
    return chit;
}

} // namespace

ChitPosting::ChitPosting(Arinput &window, EntryModes &modes, BatchScreen &batches)
    : window_(window)
    , modes_(modes)
    , batches_(batches)
{
}

void ChitPosting::post()
{
    Control ok = window_.control(u"cmdokay"_s);
    ok.setEnabled(false);
    // What the server left untold is settled before anything is stored again.
    switch (settleUnknownWrites()) {
    case Settled::GoOn:
        break;
    case Settled::ChitKept:
        ok.setEnabled(true);
        ok.setFocus();
        return;
    case Settled::ChitCounted:
        return;
    }
    // The chit is taken from the screen once; the corrections go back to it.
    const Chit keyed = readChit();
    const PostingDecision decision = decidePosting(keyed, postingContext());
    for (int i = Field::First; i <= Field::Last; ++i) {
        if (decision.chit[i] != keyed[i])
            window_.Text1(i).setText(decision.chit[i]);
    }
    DoEvents();
    window_.batch_.WorkDate = decision.workDate;
    if (decision.refusal != Refusal::None) {
        refusePosting(decision);
        return;
    }
    if (decision.madeCredit)
        showNotice(paymentCreditNotice());

    const Chit &chit = decision.chit;
    // A chit alike one already in the month is stored again only when the operator says so.
    const std::optional<ChitPeriod> unlessAlike = alikePeriod(chit);
    QString key = newWriteKey();
    WriteResult stored = storeChit(chit, key, unlessAlike);
    if (stored.withheld && askToPostAlikeAgain(chit, *unlessAlike)) {
        key = newWriteKey();
        stored = storeChit(chit, key, std::nullopt);
    }
    if (!stored.stored()) {
        DbAddNewOff();
        if (stored.outcome == WriteOutcome::Unknown)
            reportUnknownChit(pendingChit(chit, key, window_.batch_.StartStamp, stored.session));
        else if (!stored.withheld)
            reportUnstoredChit(chit[Field::ChitNumber], stored.failure.description);
        // The chit stays on the screen and OK is offered again.
        ok.setEnabled(true);
        ok.setFocus();
        return;
    }
    batches_.count(chit);
    modes_.redoChit();
    DbAddNewOff();
    DoEvents();
}

WriteResult ChitPosting::storeChit(const Chit &chit, const QString &key,
                                   const std::optional<ChitPeriod> &unlessAlike)
{
    MouseBusy();
    WriteResult stored;
    {
        // The row goes to the disk beside the screen's update: the post's end waits for it. A
        // server out of reach is told within the time one statement is given.
        const LogSyncBeside beside;
        const ServerDeadline deadline(answerTimeout(lockWaitLimit()));
        const WriteLabel label(u"chit "_s + chit[Field::ChitNumber]);
        stored = StoreChitRow(chit, window_.batch_.StartStamp, key, unlessAlike);
    }
    MouseArrow();
    return stored;
}

// The open month, where a chit alike is looked for; none for a number drawn or a mode's word.
std::optional<ChitPeriod> ChitPosting::alikePeriod(const Chit &chit) const
{
    if (!alikeChecked(chit[Field::ChitNumber], !window_.Text1(Field::ChitNumber).visible()))
        return std::nullopt;
    return ChitPeriod {
        periodStart(window_.start().settings().ArYear, window_.start().settings().ArMonth),
        periodEnd(window_.start().settings().ArYear, window_.start().settings().ArMonth)
    };
}

// The row found is named as far as it can be read; the question's default is No.
bool ChitPosting::askToPostAlikeAgain(const Chit &chit, const ChitPeriod &period)
{
    const Result<std::optional<AlikeRow>> found = FindAlikeChit(chit, period);
    const AlikeRow row = found ? found->value_or(AlikeRow()) : AlikeRow();
    const Notice question = alikeQuestion(chit, row.date, row.origin);
    return AskYesNo(question.text, question.title);
}

PostingContext ChitPosting::postingContext() const
{
    PostingContext context;
    context.memberTerminated = window_.keyed_.MemberTerminated;
    context.workDate = window_.batch_.WorkDate;
    context.today = SetToday().TodayNumber;
    context.arYear = window_.start().settings().ArYear;
    context.arMonth = window_.start().settings().ArMonth;
    context.accessLevel = session().AccessLevel;
    context.systemYear = platform().today().year();
    context.dateKeyed = window_.Text1(Field::ChitDate).visible();
    // A chit number switched off is made up for every chit.
    if (!window_.Text1(Field::ChitNumber).visible())
        context.drawnChitNumber = drawChitNumber();
    return context;
}

// The chit stays on the screen for correction and OK is offered again; the focus goes to
// what the operator has to put right.
void ChitPosting::refusePosting(const PostingDecision &decision)
{
    Control ok = window_.control(u"cmdokay"_s);
    Control focus = ok;
    if (decision.refusal == Refusal::DateOutsideMonth) {
        MsgBox(dateRefusalText(decision.dateVerdict), BoxButtons::Ok, BoxIcon::Information,
               u"Date entered: "_s + QString::number(toLong(Val(decision.chit[Field::ChitDate]))));
        Control date = window_.Text1(Field::ChitDate);
        if (date.enabled() && date.visible())
            focus = date;
    } else {
        showNotice(refusalNotice(decision.refusal));
    }
    ok.setEnabled(true);
    focus.setFocus();
}

Chit ChitPosting::readChit() const
{
    Chit chit;
    for (int i = Field::First; i <= Field::Last; ++i)
        chit[i] = window_.Text1(i).text();
    // A memo switched off is not posted, whatever it still holds.
    Control memo = window_.control(u"txtmemo"_s);
    if (memo.visible())
        chit.memo = memo.text();
    return chit;
}

// The chit stays on the screen uncounted, so the operator can post it again once the
// database takes it: a chit never disappears unstored.
void ChitPosting::reportUnstoredChit(const QString &chit, const QString &reason)
{
    MsgBox(u"Chit "_s + chit + u" was not stored:\n"_s + reason
               + u"\n\nThe chit stays on the screen. Press OK to post it again."_s,
           BoxButtons::Ok, BoxIcon::Critical, u"Chit not stored"_s);
    (void)LogActivity(u"Chit "_s + chit + u" not stored: "_s + reason);
}

// Neither "stored" nor "not stored": the chit stays on the screen, noted on the disk, and is
// looked up before it can be stored again.
void ChitPosting::reportUnknownChit(const PendingWrite &write)
{
    unknownChit_ = write;
    unknownBatch_ = window_.batch_.number;
    const QString text = recordUnknown(
        write, u"The chit stays on the screen; it will be checked before it is stored again."_s);
    MsgBox(text, BoxButtons::Ok, BoxIcon::Critical, UnknownTitle);
}

ChitPosting::Settled ChitPosting::settleUnknownWrites()
{
    const QList<Resolution> resolutions = resolvePendingWrites(unknownChit_);
    if (resolutions.isEmpty())
        return Settled::GoOn;
    // The unknown chit is on the screen as long as nothing of it has changed since.
    const bool onScreen = unknownChit_ && readChit() == chitOf(*unknownChit_);
    QStringList lines;
    bool stillUnknown = false;
    Settled settled = Settled::ChitKept;
    for (const Resolution &r : resolutions) {
        const bool isThis = unknownChit_ && r.write.key == unknownChit_->key;
        if (isThis && r.result.outcome == WriteOutcome::Unknown) {
            stillUnknown = true;
            continue;
        }
        if (isThis)
            unknownChit_.reset();
        // Not stored and still on the screen: this OK stores it, without a word.
        if (isThis && onScreen && r.result.outcome == WriteOutcome::NotStored)
            continue;
        // A chit of this batch stored after all counts in it.
        const bool counted = isThis && r.result.stored() && unknownBatch_ == window_.batch_.number;
        lines << resolutionText(r, counted);
        if (counted) {
            batches_.count(chitOf(r.write));
            if (onScreen) {
                modes_.redoChit();
                settled = Settled::ChitCounted;
            }
        }
    }
    if (stillUnknown) {
        QString text = u"The database server still did not answer whether chit "_s
            + unknownChit_->chit
            + u" was stored.\nThe chit stays on the screen; it will be checked before it is "
              u"stored again."_s;
        if (!lines.isEmpty())
            text += u"\n\n"_s + lines.join(u'\n');
        MsgBox(text, BoxButtons::Ok, BoxIcon::Critical, UnknownTitle);
        return Settled::ChitKept;
    }
    if (lines.isEmpty())
        return Settled::GoOn;
    MsgBox(lines.join(u'\n'), BoxButtons::Ok, BoxIcon::Information, resolutionsTitle());
    return settled;
}

// What the server left untold when the program last ran here is told before the first batch;
// the keys of closed months go.
void ChitPosting::settleAtStart()
{
    settlePendingWrites();
    (void)pruneWriteKeys(
        QDate(window_.start().settings().ArYear, window_.start().settings().ArMonth, 1));
}

void ChitPosting::showServerWait(bool waiting)
{
    Control help = window_.control(u"helpwindow"_s);
    if (waiting) {
        helpBeforeWait_ = help.text();
        help.setText(u"Waiting for the database server to answer..."_s);
    } else {
        help.setText(helpBeforeWait_);
    }
    help.refresh();
}

// A chit the server left untold is not left behind without a word.
bool ChitPosting::closeAllowed() const
{
    return !unknownChit_ || programEnding()
        || AskYesNo(u"The database server did not answer whether chit "_s + unknownChit_->chit
                        + u" was stored.\nIt will be checked when Tallic starts again.\n\n"
                          u"Exit anyway?"_s,
                    UnknownTitle);
}

} // namespace tallic
