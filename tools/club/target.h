#pragma once

#include "clubdb.h"
#include "console.h"

#include "store/folderlock.h"

#include <QString>
#include <QStringList>

namespace tallic::club {

// Where a command writes a whole club, all or nothing. In a folder of files the databases
// are made in a staging folder beside them (".tallic-club-PID") and moved into place only
// when every one is complete; on a server everything is one transaction. Abandoned unless
// committed: a folder it made is removed again.
class ClubTarget
{
public:
    explicit ClubTarget(const DataSource &target);
    ~ClubTarget();
    ClubTarget(const ClubTarget &) = delete;
    ClubTarget &operator=(const ClubTarget &) = delete;

    // With replace, the suite databases the target holds now are replaced whole: a file
    // the new club lacks is removed with the others' replacement, a schema dropped.
    Result<void> begin(bool replace, Console &console);
    // The layout its databases are stamped with: SuiteSchemaVersion unless the club copied
    // was written in another.
    void setLayout(int layout) { layout_ = layout; }
    // A new database, empty or with the suite's tables, under the layout's version.
    Result<void> addDatabase(const QString &file, bool withSuiteTables);
    ClubDb &db() { return db_; }
    // In a folder of files: where a finished database file may be put to be moved into
    // place with the others (adopt() it then).
    QString stagingFolder() const { return staging_; }
    void adopt(const QString &file) { staged_ << file; }
    // A report of the copy (import-report.txt), put beside the databases with them: no
    // report of an earlier copy stays once they are in.
    void setReport(const QByteArray &text) { report_ = text; }
    Result<void> commit();

private:
    // Ends the transaction of the file being written, if one is.
    Result<void> finishFile();

    DataSource target_;
    ClubDb db_;
    QString staging_;
    QStringList staged_;
    std::unique_ptr<FolderLock> lock_; // of a folder it made
    int claim_ = -1; // the staging folder, held while the command runs
    QByteArray report_;
    int layout_ = SuiteSchemaVersion;
    bool made_ = false;
    bool replace_ = false;
    bool inTransaction_ = false;
    bool committed_ = false;
    QString textSchema_;
    QString writing_; // the schema of the file being written
};

// Finishes or removes what a command that was stopped left in the folder, and says so: a
// staging folder whose databases were all complete is moved into place when the folder may
// be had alone (finish), any other of a command no longer running is removed.
void settleFolder(const QString &folder, bool finish, Console &console);

// Removes the files and folders of the folder whose names begin with the prefix and that
// no running command holds (a backup's parts, which hold() them while it runs), and says so.
void removeLeftovers(const QString &folder, const QString &prefix, Console &console);
// Holds the file or folder for this process until the descriptor is closed; -1 when it
// cannot be opened.
int hold(const QString &path);

} // namespace tallic::club
