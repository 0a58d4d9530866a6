// Starting a batch and the batch's validity totals.
#include "entry/arinput.h"

#include "basic/chitdates.h"
#include "basic/numbers.h"
#include "basic/validity.h"
#include "platform/runtime.h"
#include "suite/sharedstate.h"
#include "suite/staff.h"
#include "suite/today.h"
#include "suite/tools.h"
#include "suite/windows.h"

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

// A picker answer above this cannot be a date of the suite's.
constexpr qint32 LatestDate = 21000000;
constexpr int DateLength = 8;

const char *const ValidityHelp[4] = {
    "Hash Total",
    "Base Sale Total",
    "Sum method, chit# + member# + base sale",
    "Sum method, chit# + member# + employee # + base sale",
};

} // namespace

// The program presses this button by itself at start-up; the operator for every batch after.
void Arinput::cmdnewbatch_Click()
{
    StartBatch();
}

void Arinput::StartBatch(qint32 openOn)
{
    if (!chooseBatchDate(openOn))
        return;
    // Another user on the same date is a warning only: the batch goes on.
    DoEvents();
    warnOfSharedDate(QString::number(batch_.WorkDate),
                     u"Multiple users may key chits for the same date,\nbut you should notify "
                     u"this user that you are\nadding transactions to the date he/she is\nalso "
                     u"currently using."_s);
    if (programEnding())
        return;

    batch_.StartStamp
        = session().UserName.left(15) + platform().timeOfDay().toString(u"HH:mm:ss"_s);
    NormalMode();
    if (programEnding())
        return;

    Control help = ctl(u"helpwindow"_s);
    help.setText(batch_.StartStamp);
    help.refresh();
    DoEvents();

    refilling_ = true;
    Text1(Field::ChitDate).setText(QString::number(batch_.WorkDate));
    refilling_ = false;
    batch_.count = 0;
    ++batch_.number;
    ctl(u"Text5"_s).setText(u"0"_s);
    for (int i = Field::First; i <= Field::Last; ++i)
        txtprev(i).setText(QString());
    DoEvents();

    batch_.totals = ValidityTotals();
    for (int i = 0; i <= 3; ++i)
        ctl(u"txtvalid"_s, i).setText(u"0"_s);

    Text1(Field::GlAccount).setFocus();
    ctl(u"cmdnewbatch"_s).setEnabled(true);
}

bool Arinput::chooseBatchDate(qint32 openOn)
{
    Control newBatch = ctl(u"cmdnewbatch"_s);
    const qint32 batchDate = batch_.WorkDate;
    // Until a date passes the picker opens again; no date at all (Escape in the calendar,
    // Cancel in the box) leaves the batch that was, or none, and the window to the operator.
    for (;;) {
        newBatch.setEnabled(false);
        batch_.WorkDate = 0;
        DoEvents();
        // The calendar comes in front of the window while it is open.
        SetTopmost(this, 0);
        const std::optional<QString> picked = PickDate(openOn);
        SetTopmost(this, -1);
        DoEvents();
        DoEvents();
        if (programEnding())
            return false;
        if (!picked) {
            batch_.WorkDate = batchDate;
            newBatch.setEnabled(true);
            newBatch.setFocus();
            return false;
        }

        batch_.WorkDate = toLong(Val(*picked));
        // Anything but eight digits of a date is asked again without a word.
        if (batch_.WorkDate > LatestDate || batch_.WorkDate < 1 || picked->size() != DateLength)
            continue;
        const DateVerdict verdict = checkWorkDate();
        if (verdict == DateVerdict::Accepted)
            return true;
        MsgBox(dateRefusalText(verdict), BoxButtons::Ok, BoxIcon::Information,
               u"Date chosen: "_s + QString::number(batch_.WorkDate));
        newBatch.setEnabled(true);
        if (programEnding())
            return false;
    }
}

void Arinput::UpdateValidityTotals(const Chit &posted)
{
    const int mode = settings_.ValidityMode;
    ValidityTotals &totals = batch_.totals;
    addChitToValidity(totals, mode, Cents::read(posted[Field::ChitNumber]),
                      Cents::read(posted[Field::Member]), Cents::read(posted[Field::Employee]),
                      Cents::read(posted[Field::BaseSale]));

    // The mode's totals are shown; once shown, a total stays on the screen for the run.
    const auto show = [this](int index, Cents total) {
        ctl(u"txtvalid"_s, index).setVisible(true);
        ctl(u"lblvalidity"_s, index).setVisible(true);
        ctl(u"txtvalid"_s, index).setText(total.shortest());
    };
    if (mode == 1 || mode == 3)
        show(0, totals.hash);
    if (mode == 2 || mode == 3)
        show(1, totals.base);
    if (mode == 4)
        show(2, totals.sum);
    if (mode == 5)
        show(3, totals.sum);
    DoEvents();
}

void Arinput::txtvalid_MouseMove(int Index, int, int, double, double)
{
    if (Index < 0 || Index > 3)
        return;
    Control help = ctl(u"helpwindow"_s);
    help.setText(QString::fromLatin1(ValidityHelp[Index]));
    help.refresh();
}

} // namespace tallic
