// Starting a batch on the screen and counting its chits in the validity totals.
#include "batchscreen.h"

#include "basic/chitdates.h"
#include "basic/numbers.h"
#include "entry/arinput.h"
#include "entry/fieldchecks.h"
#include "platform/runtime.h"
#include "posting/entrymodes.h"
#include "suite/sharedstate.h"
#include "suite/staff.h"
#include "suite/today.h"
#include "suite/tools.h"
#include "suite/windows.h"

using namespace Qt::Literals::StringLiterals;

namespace tallic {

BatchScreen::BatchScreen(Arinput &window, Batch &batch, EntryModes &modes)
    : window_(window)
    , batch_(batch)
    , modes_(modes)
{
}

void BatchScreen::start(qint32 openOn)
{
    if (!chooseDate(openOn))
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
    modes_.normalMode();
    if (programEnding())
        return;

    Control help = window_.control(u"helpwindow"_s);
    help.setText(batch_.StartStamp);
    help.refresh();
    DoEvents();

    window_.refilling_ = true;
    window_.Text1(Field::ChitDate).setText(QString::number(batch_.WorkDate));
    window_.refilling_ = false;
    batch_.start();
    window_.control(u"Text5"_s).setText(u"0"_s);
    for (int i = Field::First; i <= Field::Last; ++i)
        window_.txtprev(i).setText(QString());
    DoEvents();

    for (int i = 0; i <= 3; ++i)
        window_.control(u"txtvalid"_s, i).setText(u"0"_s);

    window_.Text1(Field::GlAccount).setFocus();
    window_.control(u"cmdnewbatch"_s).setEnabled(true);
}

bool BatchScreen::chooseDate(qint32 openOn)
{
    Control newBatch = window_.control(u"cmdnewbatch"_s);
    const qint32 batchDate = batch_.WorkDate;
    // Until a date passes the picker opens again; no date at all (Escape in the calendar,
    // Cancel in the box) leaves the batch that was, or none, and the window to the operator.
    for (;;) {
        newBatch.setEnabled(false);
        batch_.WorkDate = 0;
        DoEvents();
        // The calendar comes in front of the window while it is open.
        SetTopmost(&window_, 0);
        const std::optional<QString> picked = PickDate(openOn);
        SetTopmost(&window_, -1);
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
        if (!batch_.pickedDateReadable(*picked))
            continue;
        const DateVerdict verdict = workDateVerdict(batch_.WorkDate, window_.start().settings());
        if (verdict == DateVerdict::Accepted)
            return true;
        MsgBox(dateRefusalText(verdict), BoxButtons::Ok, BoxIcon::Information,
               u"Date chosen: "_s + QString::number(batch_.WorkDate));
        newBatch.setEnabled(true);
        if (programEnding())
            return false;
    }
}

// Only a stored chit counts in the batch.
void BatchScreen::count(const Chit &chit)
{
    window_.keyed_.stored(chit);
    for (int i = Field::First; i <= Field::Last; ++i)
        window_.txtprev(i).setText(chit[i]);
    DoEvents();
    const QList<ShownTotal> shown = batch_.add(chit, window_.start().settings().ValidityMode);
    window_.control(u"Text5"_s).setText(QString::number(batch_.count));
    // Once shown, a total stays on the screen for the run.
    for (const ShownTotal &t : shown) {
        window_.control(u"txtvalid"_s, t.index).setVisible(true);
        window_.control(u"lblvalidity"_s, t.index).setVisible(true);
        window_.control(u"txtvalid"_s, t.index).setText(t.total.shortest());
    }
    DoEvents();
}

} // namespace tallic
