#pragma once

#include "clubdb.h"

#include <QString>
#include <QStringList>

namespace tallic::club {

// Where a command writes a whole club, all or nothing. In a folder of files the databases
// are made in a staging folder beside them (".tallic-club-PID") and moved into place only
// when every one is complete; on a server everything is one transaction. Abandoned unless
// committed.
class ClubTarget
{
public:
    explicit ClubTarget(const DataSource &target);
    ~ClubTarget();
    ClubTarget(const ClubTarget &) = delete;
    ClubTarget &operator=(const ClubTarget &) = delete;

    // With replace, the suite databases the target holds now are replaced whole: a file
    // the new club lacks is removed with the others' replacement, a schema dropped.
    Result<void> begin(bool replace);
    // A new database, empty or with the suite's tables, under the layout's version.
    Result<void> addDatabase(const QString &file, bool withSuiteTables);
    ClubDb &db() { return db_; }
    // In a folder of files: where a finished database file may be put to be moved into
    // place with the others (adopt() it then).
    QString stagingFolder() const { return staging_; }
    void adopt(const QString &file) { staged_ << file; }
    Result<void> commit();

private:
    // Ends the transaction of the file being written, if one is.
    Result<void> finishFile();

    DataSource target_;
    ClubDb db_;
    QString staging_;
    QStringList staged_;
    bool replace_ = false;
    bool inTransaction_ = false;
    bool committed_ = false;
    QString textSchema_;
    QString writing_; // the schema of the file being written
};

// Finishes or removes what a command that was stopped left in the folder: a staging folder
// whose databases were all complete is moved into place, any other of a command no longer
// running is removed.
void settleFolder(const QString &folder);

} // namespace tallic::club
