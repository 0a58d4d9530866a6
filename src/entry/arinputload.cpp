// Start-up and closing of the entry window.
#include "arinput.h"

#include "basic/numbers.h"
#include "frmsplash.h"
#include "keys/sendkeys.h"
#include "platform/runtime.h"
#include "store/database.h"
#include "suite/messages.h"
#include "suite/staff.h"
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
            entry->batches_.start(entry->batch_.WorkDate);
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
            entry->posting_.showServerWait(waiting);
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

    posting_.settleAtStart();
    if (programEnding())
        return;
    // The program presses NEW BATCH by itself: the operator starts on a batch date.
    control(u"cmdnewbatch"_s).setFocus();
    SendKeyString(u"{ENTER}"_s);
}

void Arinput::Form_Activate()
{
    DoEvents();
}

void Arinput::Form_Unload(int &Cancel)
{
    if (!posting_.closeAllowed()) {
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
