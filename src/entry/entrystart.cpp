#include "entrystart.h"

#include "basic/numbers.h"
#include "entrycontrols.h"
#include "platform/runtime.h"
#include "posting/batch.h"
#include "store/database.h"
#include "store/folderlock.h"
#include "store/localdisk.h"
#include "suite/guards.h"
#include "suite/layoutcheck.h"
#include "suite/messages.h"
#include "suite/sharedstate.h"
#include "suite/today.h"

#include <QDir>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

EntryStart::EntryStart(Form &window)
    : window_(window)
{
}

bool EntryStart::allowed()
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

bool EntryStart::load()
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
        failed(read.failure());
        return false;
    }
    settings_ = *read;
    if (settings_.EmpValidate == EmployeeLookup::OperatorNumber)
        Label1(window_, Field::Employee).setCaption(u"Emp Operator #"_s);
    else if (settings_.EmpValidate == EmployeeLookup::AccessNumber)
        Label1(window_, Field::Employee).setCaption(u"Emp Access #"_s);
    if (settings_.ConsolidationMode == u"Y"_s || settings_.ConsolidationMode == u"G"_s)
        window_.control(u"lblconsolidate"_s).setVisible(true);
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

// A run-time failure during start-up is reported once, and the program ends: a failure
// that persists (a missing configuration, say) would otherwise repeat the box forever. One
// the operator has been told of already ends it without another box.
void EntryStart::failed(const Failure &failure)
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
bool EntryStart::lockedRetried(const Result<ArSettings> &read)
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

void EntryStart::show(Batch &batch)
{
    const Session &session = tallic::session();
    if (session.AccessLevel >= settings_.LevelLimits[3])
        window_.control(u"eomeditor"_s).setVisible(true);
    window_.setCaption(session.UserName + u" @ Accounts Receivable  - in A/R month: "_s
                       + QString::number(settings_.ArMonth));
    platform().clearClipboard();
    DoEvents();
    if (batch.WorkDate < 1)
        batch.WorkDate = SetToday().TodayNumber;
    window_.control(u"helpwindow"_s).setText(u"Click NEW BATCH to begin"_s);
    batch.StartStamp = (session.UserName + platform().timeOfDay().toString(u"hh:mm:ss"_s)).left(15);
}

} // namespace tallic
