#pragma once

#include "basic/folders.h"

#include <QDate>
#include <QString>
#include <QTime>

namespace tallic {

// What a message box looks like; the answer codes are the window system's own.
enum class BoxIcon { None, Information, Question, Critical };
enum class BoxButtons { Ok, YesNo, RetryCancel };
enum BoxAnswer { AnswerOk = 1, AnswerCancel = 2, AnswerRetry = 4, AnswerYes = 6, AnswerNo = 7 };

enum class WindowStyle { Normal, Maximized };

// The clipboard format in which a lookup leaves, beside its answer, the mark it was started
// with; and the environment variable that gives a lookup its mark.
inline constexpr char LookupAnswerFormat[] = "application/x-tallic-lookup";
inline constexpr char LookupMarkVariable[] = "TALLIC_LOOKUP_MARK";

// What claiming the single-instance lock found. A lock that cannot be used at all is not
// another copy running, and the operator is told which it is.
struct InstanceClaim
{
    enum Outcome { Claimed, OtherCopyRunning, LockFailed };
    Outcome outcome = Claimed;
    QString problem; // LockFailed: the lock file and why it cannot be used

    bool claimed() const { return outcome == Claimed; }
};

// Everything the program needs from the machine it runs on. The program talks
// to it only through platform(); tests install a fake in its place.
class Platform
{
public:
    virtual ~Platform();

    // The system clipboard, as plain text: the channel to the suite's other programs.
    virtual QString clipboardText() = 0;
    virtual void setClipboardText(const QString &text) = 0;
    virtual void clearClipboard() = 0;
    // The mark of the lookup whose answer the clipboard's text is, as the suite's lookups
    // leave it in a format of their own beside the text; empty for any other text.
    virtual QString clipboardLookup() = 0;
    // Waits up to ms milliseconds for another program's answer on the clipboard: at once
    // when there is text on it, else until its text changes or the time is up. Here it
    // only looks, then sleeps; the real platform lets events run meanwhile.
    virtual void waitForClipboard(int ms);

    // Programs are named bare and found in the working folder. A command line is the
    // program's file name, a blank and its arguments ("ombrel.exe AR").
    virtual bool startProgram(const QString &commandLine, WindowStyle style) = 0;
    // Starts a lookup as startProgram() does, in a normal window, with the mark it is to leave
    // beside its answer.
    virtual bool startLookup(const QString &commandLine, const QString &mark) = 0;
    // Starts the program as startProgram() does and keeps an eye on it: a number for
    // programRunning(), 0 when it could not be started.
    virtual qint64 startWatchedProgram(const QString &commandLine, WindowStyle style) = 0;
    virtual bool programRunning(qint64 program) = 0;
    // Runs the program to its end; its exit code, -1 when it could not be started.
    virtual int runAndWait(const QString &commandLine) = 0;

    // Whether a file of that name is in the working folder, whatever the letter case.
    virtual bool fileExists(const QString &name) = 0;
    // The type of the file system that holds the folder, statfs's f_type; 0 when it cannot
    // be told.
    virtual quint64 fileSystemType(const QString &folder);

    virtual QDate today() = 0;
    virtual QTime timeOfDay() = 0;
    virtual void seedRandom() = 0;
    // A number in [0, 1).
    virtual double random() = 0;

    // Claimed when this is the only copy of the program running for this user on this
    // computer; the claim holds until the process ends.
    virtual InstanceClaim claimSingleInstance() = 0;

    // Modal boxes. The answer of a message box is one of BoxAnswer; an input box
    // answers the text typed, the empty text for Cancel.
    virtual int messageBox(const QString &text, const QString &title, BoxIcon icon,
                           BoxButtons buttons)
        = 0;
    virtual QString inputBox(const QString &prompt, const QString &title,
                             const QString &defaultText)
        = 0;
};

Platform &platform();
// Installs the platform in use and returns the one it replaces; the caller keeps ownership.
Platform *setPlatform(Platform *p);

// Splits a command line into the program and the text of its arguments, as one argument
// written as it stands ("ziplet.exe JONES@tallic 21.12.28a     SysUser: 5" gives the tool
// its five blanks; "prastle.exe WJX05JOHN SMITH" keeps the user's blank): the suite's
// programs read their command line whole. Without arguments, the program alone.
QStringList splitCommandLine(const QString &commandLine);

} // namespace tallic
