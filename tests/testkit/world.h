#pragma once

// What the tests of the entry window share: the club they key against, boxes compared
// whole, and a way to watch one service of the harness's machine.
#include "platform/platform.h"
#include "testkit/harness.h"

#include <QSemaphore>
#include <QThread>
#include <QVariantList>

#include <functional>
#include <memory>
#include <ostream>

namespace tallic {
class Arinput;
}

namespace tallic::testkit {

inline bool operator==(const Dialog &a, const Dialog &b)
{
    return a.kind == b.kind && a.title == b.title && a.text == b.text && a.icon == b.icon;
}
void PrintTo(const Dialog &dialog, std::ostream *out);

// A message box as the operator sees it.
inline Dialog box(const QString &title, const QString &text, DialogIcon icon)
{
    return { DialogKind::Message, title, text, icon };
}

// The club's open A/R month is March 2024, the machine's date 12 March 2024, and employee
// numbers are not checked.
void prepareMarch2024(Harness &h);
// The same club with the program started from the menu at the level given: the picker
// answers the dates given until one passes, and the operator waits in the G/L field of a
// batch with no box left over.
void startMarch2024(Harness &h, const QStringList &picks = { QStringLiteral("20240312") },
                    int level = 5);

Arinput *entry();
// Every row of ardaily in the order stored.
QList<QVariantList> chits(Harness &h);

// The names of the windows' controls painted while the work runs and the windows catch
// up, once for each paint.
QStringList paintedDuring(Harness &h, const std::function<void()> &work);
// Checks a stored row's first columns against their expected values: numbers as numbers,
// "null" for Null.
void expectRow(const QVariantList &row, const QStringList &expected);
// The same with the expected values in one text, separated by blanks.
void expectRow(const QVariantList &row, const char *expected);
// Checks that every amount in ardaily is whole cents, on either engine: no binary noise of
// a sum such as 12.510000000000002.
void expectWholeCents(Harness &h);
// Keys a normal chit from the G/L field to OK: account, chit number, the date offered,
// member, no employee, base sale.
void keyChit(Harness &h, const QString &account, const QString &chit, const QString &member,
             const QString &base);

// Another workstation: its own connection in its own thread, holding the write lock of a
// database file, or of the table on the server the file's folder names, (adding a row to
// the table, "HOLDER" in the column) until its timer commits; with reads, a lock that
// keeps readers out too (a repair tool's).
class LockHolder
{
public:
    LockHolder(const QString &file, int holdMs, const QString &table = QStringLiteral("ardaily"),
               const QString &column = QStringLiteral("tallicnum"), bool reads = false);
    ~LockHolder() { thread_->wait(); }
    LockHolder(const LockHolder &) = delete;
    LockHolder &operator=(const LockHolder &) = delete;

    // Ends the hold now: the lock is free when it returns.
    void release();

private:
    QSemaphore locked_;
    QSemaphore released_;
    std::unique_ptr<QThread> thread_;
};

// Workstations posting at once into the harness's data set: each a tallic-postworker
// process (the program given) posting its own chits through the program's posting routine.
// The time from the first start to the last end, what each that failed said, and how many
// chits they posted again after a "not stored".
struct Workstations
{
    qint64 milliseconds = 0;
    QStringList failures;
    int postedAgain = 0;
};
Workstations postFromWorkstations(const Harness &h, const QString &worker, int workstations,
                                  int chitsEach);

// The harness's machine with some of its services overridden; installed while it lives.
class MachineOverride : public Platform
{
public:
    explicit MachineOverride(Harness &h);
    ~MachineOverride() override;
    MachineOverride(const MachineOverride &) = delete;
    MachineOverride &operator=(const MachineOverride &) = delete;

    QString clipboardText() override { return inner.clipboardText(); }
    void setClipboardText(const QString &text) override { inner.setClipboardText(text); }
    void clearClipboard() override { inner.clearClipboard(); }
    QString clipboardLookup() override { return inner.clipboardLookup(); }
    bool startProgram(const QString &line, WindowStyle style) override
    {
        return inner.startProgram(line, style);
    }
    bool startLookup(const QString &line, const QString &mark) override
    {
        return inner.startLookup(line, mark);
    }
    qint64 startWatchedProgram(const QString &line, WindowStyle style) override
    {
        return inner.startWatchedProgram(line, style);
    }
    bool programRunning(qint64 program) override { return inner.programRunning(program); }
    int runAndWait(const QString &line) override { return inner.runAndWait(line); }
    bool fileExists(const QString &name) override { return inner.fileExists(name); }
    quint64 fileSystemType(const QString &folder) override { return inner.fileSystemType(folder); }
    QDate today() override { return inner.today(); }
    QTime timeOfDay() override { return inner.timeOfDay(); }
    void seedRandom() override { inner.seedRandom(); }
    double random() override { return inner.random(); }
    InstanceClaim claimSingleInstance() override { return inner.claimSingleInstance(); }
    int messageBox(const QString &text, const QString &title, BoxIcon icon,
                   BoxButtons buttons) override
    {
        return inner.messageBox(text, title, icon, buttons);
    }
    QString inputBox(const QString &prompt, const QString &title, const QString &text) override
    {
        return inner.inputBox(prompt, title, text);
    }

protected:
    Platform &inner;

private:
    Platform *previous;
};

} // namespace tallic::testkit
