#pragma once

#include "basic/result.h"
#include "platform/platform.h"

#include <QString>

#include <chrono>
#include <functional>
#include <optional>

namespace tallic {

// Starts a program of the suite from the data folder without waiting for it.
bool StartProgram(const QString &commandLine, WindowStyle style);

// A lookup started from a field, whose answer that field alone takes. The lookup program
// gets a mark of this start only and leaves it beside its answer on the clipboard; nothing
// without it fills the field (another window's lookup, text copied in another program,
// a lookup closed without a choice). The mark dies once its answer is taken, when the
// field is left (forget()), and with its window, which owns this object.
class LookupStart
{
public:
    // Starts the lookup program with a new mark, forgetting the last.
    bool start(const QString &commandLine);
    // The marked answer on the clipboard; empty when there is none.
    QString answer() const;
    // The same, taken as the field is left: the answer leaves the clipboard, and the mark
    // dies either way.
    QString take();
    void forget() { mark_.clear(); }

private:
    QString mark_;
};

// Runs a program of the suite to its end. Meanwhile the program's windows take no input
// but keep repainting. A non-zero exit code (also -1 for a program that could not be
// started) is shown as the CAUTION warning and logged under "Backup/Restore", which
// leaves LocationText so; the result is then 0, or the failure to write the log.
Result<qint32> RunAndWait(const QString &commandLine);

// The tool's code followed by the level as two digits and the trimmed user name:
// "WJX07JSMITH".
QString BuildToolArgument(const QString &toolCode, qint16 toolLevel, const QString &userName);

// What follows a tool's run: the entry window starts a new batch.
void setToolReturnAction(std::function<void()> action);

// Runs the tool program with its argument, records "Chit Entry" as the location and runs
// the return action. A run-time failure on the way is reported once and ends the run.
void RunTool(const QString &toolProgram, const QString &toolCode);

// Runs the version-information tool with the user, program, version and SysUser.
void ShowVersionInfo();

// Runs the calendar program: the date the operator chose as text, none when the calendar
// ended without one (Escape). The calendar opens on the date given (yyyymmdd, as its
// argument), else on today. When the calendar cannot be started, or gives nothing
// within pickDateLimit(), the date is asked for in an input box instead; Cancel there
// gives none. Keys typed at the windows while the calendar runs are dropped.
std::optional<QString> PickDate(qint32 openOn = 0);

// Shows the suite's manual through the help program, or the window's own text (a viewer
// command line) when the help program is not installed or answers "NOHELP". The help
// program is a separate process: it is given a moment to answer before the clipboard
// is read. releaseWindow lets the calling window give up its place on top first.
void ShowHelp(const QString &ownText, const std::function<void()> &releaseWindow);

// How long PickDate waits for the calendar (two minutes unless set otherwise).
std::chrono::milliseconds pickDateLimit();
void setPickDateLimit(std::chrono::milliseconds limit);

} // namespace tallic
