#pragma once

#include "generation.h"
#include "store/pendingwrites.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace tallic {

struct ArSettings;
struct Failure;
class GenerationLock;

// What a Generate Chits run needs of the window it is started from.
class GenerationWindow
{
public:
    virtual ~GenerationWindow() = default;

    // Saves the bundle and the member list; false when one could not be saved (reported):
    // the old file would be billed.
    virtual bool saveLists() = 0;
    virtual bool bundleEmpty() const = 0;
    virtual QStringList members() const = 0;
    // The memo of every chit, as typed.
    virtual QString memo() const = 0;
    // The chit date keyed on the entry screen; empty when there is none.
    virtual QString keyedDate() const = 0;
    virtual const ArSettings &settings() const = 0;
    virtual ChargeRules chargeRules() const = 0;

    // The help line.
    virtual void say(const QString &text) = 0;
    virtual void resetProgress() = 0;
    virtual void showProgress(int done, int of) = 0;
    // The operator stopped the run: Exit is next.
    virtual void focusExit() = 0;
    // The list commands and Exit, off while rows are written.
    virtual void setCommandsAvailable(bool on) = 0;
};

// One Generate Chits run, from the saved lists up to the operator's confirmation, then the
// writing: each member's chit stored whole, with the progress on the window.
class GenerationDriver
{
public:
    explicit GenerationDriver(GenerationWindow &window);

    void run();

private:
    // The date of the chits, checked and warned of; empty when there is none.
    QString chooseDate();
    // The bundle with its rates and the members' exemptions; none when a failure stopped
    // the run (reported).
    std::optional<GenerationRun> readRun(const QString &date, const QStringList &members);
    // False when the members were billed for the date already and the operator stops, or
    // ardaily cannot be read (reported); the run gets ardaily's column names.
    bool notBilledAgain(GenerationRun &run);
    // False when another workstation generates for the date and memo (told, with its user)
    // or the lock cannot be taken (reported).
    bool lockRun(GenerationLock &lock, const QString &date);
    void writeChits(const GenerationRun &run);
    // Reports the failure that stopped generation and says where to resume.
    std::nullopt_t reportStop(const Failure &failure, const QString &stopped);
    static PendingWrite pendingChit(const QString &key, const QString &chit, double member,
                                    const ServerSession &session);
    void reportUnknownChit(const PendingWrite &write, const QString &stopped);

    GenerationWindow &window_;
};

} // namespace tallic
