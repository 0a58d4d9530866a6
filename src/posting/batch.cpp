// Starting a batch and the batch's validity totals.
#include "entry/arinput.h"

#include "basic/chitdates.h"
#include "basic/masks.h"
#include "basic/numbers.h"
#include "basic/validity.h"
#include "platform/runtime.h"
#include "suite/sharedstate.h"
#include "suite/staff.h"
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

void Arinput::StartBatch()
{
    SharedState &s = state();
    Control newBatch = ctl(u"cmdnewbatch"_s);
    const auto batchDate = s.WorkDate;

    // Until a date passes the picker opens again; no date at all (Escape in the calendar,
    // Cancel in the box) leaves the batch that was, or none, and the window to the operator.
    for (;;) {
        newBatch.setEnabled(false);
        s.WorkDate = 0;
        DoEvents();
        // The calendar comes in front of the window while it is open.
        SetTopmost(this, 0);
        PickDate();
        SetTopmost(this, -1);
        DoEvents();
        DoEvents();
        if (programEnding())
            return;
        if (s.MsgText.isEmpty()) {
            s.WorkDate = batchDate;
            newBatch.setEnabled(true);
            newBatch.setFocus();
            return;
        }

        s.WorkDate = toLong(Val(s.MsgText));
        // Anything but eight digits of a date is asked again without a word.
        if (s.WorkDate > LatestDate || s.WorkDate < 1 || s.MsgText.size() != DateLength)
            continue;

        s.WorkDateText = QString::number(s.WorkDate);
        const DateVerdict verdict = checkWorkDate();
        if (verdict == DateVerdict::Accepted)
            break;
        MsgBox(dateRefusalText(verdict), BoxButtons::Ok, BoxIcon::Information,
               u"Date chosen: "_s + s.WorkDateText);
        newBatch.setEnabled(true);
        if (programEnding())
            return;
    }

    // Another user on the same date is a warning only: the batch goes on.
    DoEvents();
    CheckDateInUse();
    if (s.MsgText != u"OK"_s) {
        MsgBox(
            s.MsgText
                + u"\n\nMultiple users may key chits for the same date,\nbut you should notify this user that you are\nadding transactions to the date he/she is\nalso currently using."_s,
            BoxButtons::Ok, BoxIcon::Information, u"Shared Date"_s);
    }
    if (programEnding())
        return;

    s.StartStamp = s.UserName.left(15) + platform().timeOfDay().toString(u"HH:mm:ss"_s);
    NormalMode();
    if (programEnding())
        return;

    Control help = ctl(u"helpwindow"_s);
    help.setText(s.StartStamp);
    help.refresh();
    DoEvents();

    refilling_ = true;
    Text1(Field::ChitDate).setText(QString::number(s.WorkDate));
    refilling_ = false;
    ctl(u"Text5"_s).setText(u"0"_s);
    for (int i = Field::First; i <= Field::Last; ++i)
        txtprev(i).setText(QString());
    DoEvents();

    s.HashTotal = 0;
    s.BaseTotal = 0;
    s.SumTotal = 0;
    for (int i = 0; i <= 3; ++i)
        ctl(u"txtvalid"_s, i).setText(u"0"_s);

    Text1(Field::GlAccount).setFocus();
    newBatch.setEnabled(true);
}

void Arinput::UpdateValidityTotals()
{
    SharedState &s = state();
    const double chit = Val(Text1(Field::ChitNumber).text());
    const double member = Val(Text1(Field::Member).text());
    const double employee = Val(Text1(Field::Employee).text());
    const double base = Val(Text1(Field::BaseSale).text());

    ValidityTotals totals { s.HashTotal, s.BaseTotal, s.SumTotal };
    addChitToValidity(totals, s.ValidityMode, chit, member, employee, base);
    s.HashTotal = totals.hash;
    s.BaseTotal = totals.base;
    s.SumTotal = totals.sum;

    // The mode's totals are shown; once shown, a total stays on the screen for the run.
    const auto show = [this](int index, double total) {
        ctl(u"txtvalid"_s, index).setVisible(true);
        ctl(u"lblvalidity"_s, index).setVisible(true);
        ctl(u"txtvalid"_s, index).setText(shortestNumber(total));
    };
    if (s.ValidityMode == 1 || s.ValidityMode == 3)
        show(0, s.HashTotal);
    if (s.ValidityMode == 2 || s.ValidityMode == 3)
        show(1, s.BaseTotal);
    if (s.ValidityMode == 4)
        show(2, s.SumTotal);
    if (s.ValidityMode == 5)
        show(3, s.SumTotal);
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
