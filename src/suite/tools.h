#pragma once

#include "platform/platform.h"

#include <QString>

#include <chrono>
#include <functional>

namespace tallic {

// Starts a program of the suite from the data folder without waiting for it.
bool StartProgram(const QString &commandLine, WindowStyle style);

// Runs a program of the suite to its end. Meanwhile the program's windows take no input
// but keep repainting. A non-zero exit code (also -1 for a program that could not be
// started) is shown as the CAUTION warning and logged under "Backup/Restore", which
// leaves LocationText so; the result is then 0.
qint32 RunAndWait(const QString &commandLine);

// ToolCode followed by ToolLevel as two digits and the trimmed UserName: "WJX07JSMITH".
void BuildToolArgument();

// What follows a tool's run: the entry window starts a new batch.
void setToolReturnAction(std::function<void()> action);

// Runs ToolProgram with ToolCode, records "Chit Entry" as the location and runs the
// return action. A run-time failure on the way is reported once and ends the run.
void RunTool();

// Runs the version-information tool with the user, program, version and SysUser.
void ShowVersionInfo();

// Runs the calendar program and leaves the date the operator chose in MsgText, empty when
// the calendar ended without one (Escape). When the calendar cannot be started, or gives
// nothing within pickDateLimit(), the date is asked for in an input box instead; Cancel
// there leaves MsgText empty. Keys typed at the windows while the calendar runs are dropped.
void PickDate();

// Shows the suite's manual through the help program, or the window's own text (a viewer
// command line) when the help program is not installed or answers "NOHELP". The help
// program is a separate process: it is given a moment to answer before the clipboard
// is read. releaseWindow lets the calling window give up its place on top first.
void ShowHelp(const QString &ownText, const std::function<void()> &releaseWindow);

// How long PickDate waits for the calendar (two minutes unless set otherwise).
std::chrono::milliseconds pickDateLimit();
void setPickDateLimit(std::chrono::milliseconds limit);

} // namespace tallic
