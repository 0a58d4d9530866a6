#pragma once

#include "datasource.h"

#include <QFileDevice>
#include <QSqlDatabase>
#include <QString>

#include <memory>

namespace tallic {

// Who works on a data folder. Every program that opens the folder's databases holds this
// lock while it runs: a lock on the file tallic.lock in the folder, which the system lets
// go when the process ends however it ends; with the databases on a server, an advisory
// lock of a connection of its own, whose application_name says who holds it. Any number may
// share the folder; whatever replaces or reshapes its databases (a restore, a copy over
// it, a layout upgrade) has it alone, and is refused, naming them, while others use it.
class FolderLock
{
public:
    enum class Use { Shared, Alone };

    ~FolderLock();
    FolderLock(const FolderLock &) = delete;
    FolderLock &operator=(const FolderLock &) = delete;

    // Takes the lock for the program ("Tallic", "tallic-club restore") without waiting; the
    // failure names who holds the folder. A folder that is not there yet, or a server out of
    // reach, is not locked: the program's own opening of its databases says why.
    static Result<std::unique_ptr<FolderLock>> take(const DataSource &source,
                                                    const QString &program, Use use);

    // From shared to alone, for a while; the failure names the others. share() goes back.
    Result<void> alone();
    void share();

private:
    FolderLock() = default;
    Result<void> takeFile(const QString &folder, Use use);
    Result<void> takeServer(const DataSource &source, Use use);
    // Who else holds the lock, each as they said it.
    QStringList others();
    Result<void> lockedAs(Use use);

    QString who_;
    QString folder_;
    int fd_ = -1;
    bool alone_ = false; // for a while, by alone()
    QString connection_;
    QSqlDatabase db_;
};

// The lock the running program holds on its working folder: taken at its start, let go
// at its end (or when the program's state is reset).
Result<void> holdDataFolder(const DataSource &source, const QString &program);
FolderLock *heldDataFolder();
void releaseDataFolder();

// The permissions of a file made in the folder: its owner's, and its group's where the
// folder is shared with a group (the group may write in it), never everyone's.
QFileDevice::Permissions filePermissionsIn(const QString &folder);

} // namespace tallic
