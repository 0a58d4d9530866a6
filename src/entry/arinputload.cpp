// Start-up and closing of the entry window.
#include "arinput.h"

#include "basic/numbers.h"
#include "frmsplash.h"
#include "keys/sendkeys.h"
#include "platform/runtime.h"
#include "store/database.h"
#include "suite/messages.h"
#include "suite/staff.h"
#include "suite/unresolved.h"
#include "suite/windows.h"

#include <QPointer>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

void Arinput::Form_Initialize()
{
    batch_.WorkDate = toLong(Val(platform().clipboardText()));
    platform().clearClipboard();
    DoEvents();
}

void Arinput::Form_Load()
{
    if (!start_.allowed()) {
        refuseStart();
        return;
    }
    // Back from one of the suite's tools the operator starts on a fresh batch, the calendar
    // open on the day that was being keyed: Enter stays on it.
    setToolReturnAction([entry = QPointer<Arinput>(this)] {
        if (entry && entry->isLoaded())
            entry->StartBatch(entry->batch().WorkDate);
    });

    QPointer<Frmsplash> splash = new Frmsplash;
    splash->load();
    DoEvents();

    CenterForm(this);
    ApplyPracticeColour(this);
    SetTopmost(this, -1);
    DoEvents();

    MouseArrow();
    if (!start_.load() || programEnding())
        return;
    // A server that keeps the operator waiting says so on the help line.
    setServerWaitNotice([entry = QPointer<Arinput>(this)](bool waiting) {
        if (entry)
            entry->showServerWait(waiting);
    });
    SetStaffLocation(u"A/R Chit"_s);
    start_.show(batch_);

    MouseArrow();
    DbFreeLocks();
    DoEvents();
    if (programEnding())
        return;
    open();
    if (splash)
        splash->unload();
    DoEvents();

    settleAtStart();
    if (programEnding())
        return;
    // The program presses NEW BATCH by itself: the operator starts on a batch date.
    control(u"cmdnewbatch"_s).setFocus();
    SendKeyString(u"{ENTER}"_s);
}

void Arinput::showServerWait(bool waiting)
{
    Control help = control(u"helpwindow"_s);
    if (waiting) {
        helpBeforeWait_ = help.text();
        help.setText(u"Waiting for the database server to answer..."_s);
    } else {
        help.setText(helpBeforeWait_);
    }
    help.refresh();
}

void Arinput::Form_Activate()
{
    DoEvents();
}

// What the server left untold when the program last ran here is told before the first batch;
// the keys of closed months go.
void Arinput::settleAtStart()
{
    settlePendingWrites();
    (void)pruneWriteKeys(QDate(settings_.ArYear, settings_.ArMonth, 1));
}

void Arinput::Form_Unload(int &Cancel)
{
    // A chit the server left untold is not left behind without a word.
    if (unknownChit_ && !programEnding()
        && !AskYesNo(u"The database server did not answer whether chit "_s + unknownChit_->chit
                         + u" was stored.\nIt will be checked when Tallic starts again.\n\n"
                           u"Exit anyway?"_s,
                     UnknownTitle)) {
        Cancel = 1;
        return;
    }
    setServerWaitNotice({});
    // Every step is tried, whatever the one before it did.
    DoEvents();
    SetStaffLocation(u"A/R Master"_s);
    DbFreeLocks();
    DoEvents();
    DbCloseAll();
    endProgram();
}

} // namespace tallic
