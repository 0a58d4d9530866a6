#include "tools.h"

#include "basic/version.h"
#include "messages.h"
#include "platform/form.h"
#include "platform/keygate.h"
#include "platform/runtime.h"
#include "sharedstate.h"
#include "staff.h"
#include "store/database.h"

#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPointer>
#include <QUuid>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

// The calendar answers within seconds; after this long the operator is asked directly.
std::chrono::milliseconds pickLimit = std::chrono::minutes(2);
// Between two looks at the clipboard.
constexpr int PickPollMs = 20;

// The help program answers at once when it has no manual; it gets this long to start.
constexpr std::chrono::milliseconds HelpAnswerLimit = std::chrono::seconds(3);

// The run-time error of a program file that is not there.
constexpr qint32 FileNotFound = 53;

std::function<void()> &toolReturnAction()
{
    static std::function<void()> action;
    return action;
}

// A failure while a tool runs is reported once and ends the run: trying the failed step
// again would repeat a failure that persists without end.
bool toolRunFailed(const Failure &failure, const QString &toolProgram)
{
    if (programEnding())
        return true;
    if (failure.number == 0)
        return false;
    if (failure.number == FileNotFound)
        ShowCritical(toolProgram + u" module is not installed"_s);
    else
        ReportError(failure);
    MouseArrow();
    return true;
}

bool toolRunFailed(const Result<qint32> &run, const QString &toolProgram)
{
    return toolRunFailed(run ? Failure() : run.failure(), toolProgram);
}

// Waits, with the windows repainting, until a companion started under watch leaves text
// on the clipboard, ends, or has had the limit. Whether it runs is asked before the
// clipboard is read, so that an answer left just before its end is not missed.
QString waitForAnswer(qint64 program, std::chrono::milliseconds limit, bool &ended)
{
    QString answer;
    QElapsedTimer waited;
    waited.start();
    while (answer.isEmpty() && !ended && !programEnding() && waited.elapsed() < limit.count()) {
        platform().waitForClipboard(PickPollMs);
        ended = !platform().programRunning(program);
        answer = platform().clipboardText();
        DoEvents();
    }
    return answer;
}

} // namespace

void setToolReturnAction(std::function<void()> action)
{
    toolReturnAction() = std::move(action);
}

bool StartProgram(const QString &commandLine, WindowStyle style)
{
    return platform().startProgram(commandLine, style);
}

bool LookupStart::start(const QString &commandLine)
{
    mark_ = QUuid::createUuid().toString(QUuid::WithoutBraces);
    return platform().startLookup(commandLine, mark_);
}

QString LookupStart::answer() const
{
    if (mark_.isEmpty() || platform().clipboardLookup() != mark_)
        return QString();
    return platform().clipboardText();
}

QString LookupStart::take()
{
    const QString taken = answer();
    if (!taken.isEmpty())
        platform().clearClipboard();
    forget();
    return taken;
}

Result<qint32> RunAndWait(const QString &commandLine)
{
    // The tool has the operator until it ends: the windows take no input meanwhile, and
    // keep repainting because the platform lets events run while it waits.
    QList<QPointer<Form>> disabled;
    for (Form *form : Form::openForms()) {
        if (form->isEnabled()) {
            form->setEnabled(false);
            disabled.append(form);
        }
    }
    const qint32 code = platform().runAndWait(commandLine);
    for (const QPointer<Form> &form : std::as_const(disabled)) {
        if (form)
            form->setEnabled(true);
    }
    if (Form *active = Form::activeForm())
        active->restoreKeyboardFocus();
    DoEvents();
    if (code == 0 || programEnding())
        return code;

    const QString warning = u"WARNING - PREMATURE USER TERMINATION OF BACKUP PROCEDURE"_s;
    MsgBox(warning, BoxButtons::Ok, BoxIcon::Critical, u"CAUTION"_s);
    session().LocationText = u"Backup/Restore"_s;
    const Result<void> logged = LogActivity(warning);
    if (!logged)
        return logged.failure();
    return 0;
}

QString BuildToolArgument(const QString &toolCode, qint16 toolLevel, const QString &userName)
{
    return toolCode + QString::number(toolLevel).rightJustified(2, u'0') + userName.trimmed();
}

void RunTool(const QString &toolProgram, const QString &toolCode)
{
    DbFreeLocks();
    DoEvents();
    if (programEnding())
        return;

    const Result<qint32> run = RunAndWait(toolProgram + u' ' + toolCode);
    DoEvents();
    if (toolRunFailed(run, toolProgram))
        return;

    SetStaffLocation(u"Chit Entry"_s);
    if (programEnding())
        return;

    // Back from the tool the operator starts on a fresh batch.
    if (toolReturnAction())
        toolReturnAction()();
    DoEvents();
    if (programEnding())
        return;
    MouseArrow();
}

void ShowVersionInfo()
{
    const Session &s = session();
    DoEvents();
    const QString program = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    const Result<qint32> run = RunAndWait(u"ziplet.exe "_s + s.UserName + u'@' + program + u' '
                                          + VersionText + u"     SysUser: "_s + s.SysUser);
    // Only the warning's log line can fail here; it is reported as the tool runner does.
    if (!run)
        ReportError(run.failure());
}

std::optional<QString> PickDate(qint32 openOn)
{
    platform().clearClipboard();
    DoEvents();
    QString picked;
    bool calendarEnded = false;
    const QString day
        = openOn > 0 ? QString::number(openOn) : platform().today().toString(u"yyyyMMdd"_s);
    if (const qint64 calendar = platform().startWatchedProgram(
            openOn > 0 ? u"dalmore.exe "_s + day : u"dalmore.exe"_s, WindowStyle::Normal)) {
        // The operator is at the calendar: keys that reach this window meanwhile would be
        // replayed into the new batch after the pick.
        KeyGate::Discarding discarding;
        picked = waitForAnswer(calendar, pickLimit, calendarEnded);
    }
    // A calendar that is missing or never answers must not lock the operator in.
    if (picked.isEmpty() && !calendarEnded && !programEnding()) {
        picked = InputBox(
            u"No date came from the calendar.\nType the date as eight digits, yyyymmdd:"_s,
            u"Date"_s, day);
    }
    platform().clearClipboard();
    DoEvents();
    if (picked.isEmpty())
        return std::nullopt;
    return picked;
}

std::chrono::milliseconds pickDateLimit()
{
    return pickLimit;
}

void setPickDateLimit(std::chrono::milliseconds limit)
{
    pickLimit = limit;
}

void ShowHelp(const QString &ownText, const std::function<void()> &releaseWindow)
{
    if (!platform().fileExists(u"dodizara.exe"_s)) {
        StartProgram(ownText, WindowStyle::Normal);
        return;
    }
    platform().clearClipboard();
    // The manual must be able to come in front.
    releaseWindow();
    QString answer;
    bool ended = false;
    if (const qint64 help = platform().startWatchedProgram(u"dodizara.exe manual-ACCTREC.pdf"_s,
                                                           WindowStyle::Maximized))
        answer = waitForAnswer(help, HelpAnswerLimit, ended);
    if (answer == u"NOHELP"_s)
        StartProgram(ownText, WindowStyle::Normal);
}

} // namespace tallic
