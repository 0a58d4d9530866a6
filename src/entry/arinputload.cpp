// Start-up and closing of the entry window.
#include "arinput.h"

#include "basic/numbers.h"
#include "frmsplash.h"
#include "keys/sendkeys.h"
#include "platform/runtime.h"
#include "store/database.h"
#include "store/folderlock.h"
#include "store/layout.h"
#include "store/localdisk.h"
#include "suite/guards.h"
#include "suite/layoutcheck.h"
#include "suite/messages.h"
#include "suite/sharedstate.h"
#include "suite/staff.h"
#include "suite/today.h"
#include "suite/tools.h"
#include "suite/unresolved.h"
#include "suite/windows.h"

#include <QDir>
#include <QPointer>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

void Arinput::Form_Initialize()
{
    batch_.WorkDate = toLong(Val(platform().clipboardText()));
    platform().clearClipboard();
    DoEvents();
}

// A run-time failure during start-up is reported once, and the program ends: a failure
// that persists (a missing configuration, say) would otherwise repeat the box forever. One
// the operator has been told of already ends it without another box.
void Arinput::startFailed(const Failure &failure)
{
    if (programEnding())
        return;
    if (!failure.shown)
        ShowCritical(u"Code "_s + QString::number(failure.number) + u" in 0"_s
                     + failure.description);
    refuseStart();
}

// A database locked by another workstation passes: the operator may try again, or cancel,
// which ends the program.
bool Arinput::lockedRetried(const Result<ArSettings> &read)
{
    if (read || programEnding() || read.failure().number != JetError::Locked)
        return false;
    const QString text
        = u"Code %1 in line 0: %2"_s.arg(read.failure().number).arg(read.failure().description);
    if (MsgBox(text, BoxButtons::RetryCancel, BoxIcon::Critical, u"Varnest"_s) != AnswerRetry) {
        refuseStart();
        return false;
    }
    return true;
}

// What must hold before anything is loaded: one copy of the program, no update pending, a
// data folder on a local disk that nothing is replacing, and databases of a layout this
// program reads.
bool Arinput::startAllowed()
{
    const InstanceClaim instance = platform().claimSingleInstance();
    if (instance.outcome == InstanceClaim::OtherCopyRunning) {
        MsgBox(u"Tallic is already running. You may not\nstart it twice on the same computer."_s,
               BoxButtons::Ok, BoxIcon::Information, u"Varnest"_s);
        return false;
    }
    if (instance.outcome == InstanceClaim::LockFailed) {
        MsgBox(
            u"Tallic cannot use its lock file, so it cannot make sure that it\nruns only once on this computer:\n"_s
                + instance.problem,
            BoxButtons::Ok, BoxIcon::Critical, u"Varnest"_s);
        return false;
    }
    if (CheckDbUpdate())
        return false;
    // Before any database is opened: their log would not hold on a network folder.
    if (const QString refusal = dataFolderRefusal(QDir::currentPath()); !refusal.isEmpty()) {
        MsgBox(refusal, BoxButtons::Ok, BoxIcon::Critical, dataFolderRefusalTitle());
        return false;
    }
    // Held while it runs: what replaces or reshapes the databases waits for its end.
    if (const Result<void> held = holdDataFolder(currentDataSource(), u"Tallic"_s); !held) {
        MsgBox(u"Tallic cannot start while the databases are being replaced or brought up to "
               u"date:\n"_s
                   + held.failure().description,
               BoxButtons::Ok, BoxIcon::Critical, u"Varnest"_s);
        return false;
    }
    // Databases of a newer layout are not this program's to touch; an older one is
    // brought up to date before anything reads it.
    return CheckLayout();
}

void Arinput::Form_Load()
{
    if (!startAllowed()) {
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
    if (!LoadSettings() || programEnding())
        return;
    // A server that keeps the operator waiting says so on the help line.
    setServerWaitNotice([entry = QPointer<Arinput>(this)](bool waiting) {
        if (entry)
            entry->showServerWait(waiting);
    });
    SetStaffLocation(u"A/R Chit"_s);
    showSettings();

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

void Arinput::showSettings()
{
    const Session &session = tallic::session();
    if (session.AccessLevel >= settings_.LevelLimits[3])
        control(u"eomeditor"_s).setVisible(true);
    setCaption(session.UserName + u" @ Accounts Receivable  - in A/R month: "_s
               + QString::number(settings_.ArMonth));
    platform().clearClipboard();
    DoEvents();
    if (batch_.WorkDate < 1)
        batch_.WorkDate = SetToday().TodayNumber;
    control(u"helpwindow"_s).setText(u"Click NEW BATCH to begin"_s);
    batch_.StartStamp
        = (session.UserName + platform().timeOfDay().toString(u"hh:mm:ss"_s)).left(15);
}

bool Arinput::LoadSettings()
{
    Session &session = tallic::session();
    const QString &line = session.CommandLine;
    // Fewer than five characters cannot carry a user name: as good as no command line.
    if (line.size() >= 5) {
        session.LaunchCode = line.left(3);
        session.AccessLevel = qint16(toLong(Val(line.mid(3, 2))));
        session.UserName = line.mid(5);
    }
    Result<ArSettings> read = readArSettings();
    while (lockedRetried(read))
        read = readArSettings();
    if (!read) {
        startFailed(read.failure());
        return false;
    }
    settings_ = *read;
    if (settings_.EmpValidate == EmployeeLookup::OperatorNumber)
        Label1(Field::Employee).setCaption(u"Emp Operator #"_s);
    else if (settings_.EmpValidate == EmployeeLookup::AccessNumber)
        Label1(Field::Employee).setCaption(u"Emp Access #"_s);
    if (settings_.ConsolidationMode == u"Y"_s || settings_.ConsolidationMode == u"G"_s)
        control(u"lblconsolidate"_s).setVisible(true);
    if (session.LaunchCode.startsWith(u'#'))
        session.LaunchCode[0] = u'K';

    // The user name goes to the staff table trimmed and in upper case; a name of blanks
    // is no name.
    session.UserName = session.UserName.trimmed().toUpper();
    const QString refusal = startRefusal(session, settings_);
    if (!refusal.isEmpty()) {
        ShowCritical(refusal);
        refuseStart();
        return false;
    }
    return true;
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
