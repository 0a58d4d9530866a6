#pragma once

#include <QDate>
#include <QString>
#include <QTime>

#include <functional>

namespace tallic {

// What the database layer needs from the program around it, which has windows (the entry
// program, the suite's tools) or a console (tallic-club). The suite fills it with its
// windows; without a host the layer runs as on a console that nobody reads.
class StoreHost
{
public:
    enum class Tone { Information, Critical };

    virtual ~StoreHost();

    // Lets pending events run between the steps of a command: the windows repaint.
    virtual void letEventsRun();
    // A wait for another workstation's lock or a server's answer. Meanwhile the windows
    // repaint (at each tick) but take no key or click.
    virtual void beginLockWait();
    virtual void lockWaitTick();
    virtual void endLockWait();
    // The outcome of a lock wait is about to be told: nothing typed before is for it.
    virtual void lockWaitEnded();
    // True once the program is ending: waits give up.
    virtual bool programEnding();
    // True while the program waits for the operator, when work that must not fall in the
    // middle of a command may run.
    virtual bool programIdle();
    // Work owed before the operator can act again: the windows run it once a command is over.
    virtual void setWorkBeforeOperator(std::function<void()> work);
    // Tells the operator, and returns once told (a box is answered).
    virtual void tell(const QString &text, const QString &title, Tone tone);
    // A line for the activity log.
    virtual void logActivity(const QString &message);
    virtual QDate today();
    virtual QTime timeOfDay();
    // The type of the file system that holds the folder, statfs's f_type; 0 when it cannot
    // be told.
    virtual quint64 fileSystemType(const QString &folder);

private:
    int lockWaits_ = 0;
    std::function<void()> workBeforeOperator_;
};

// The host in use.
StoreHost &storeHost();
// Installs the host in use and returns the one it replaces; the caller keeps ownership.
StoreHost *setStoreHost(StoreHost *host);

} // namespace tallic
