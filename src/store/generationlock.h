#pragma once

#include "basic/result.h"

#include <QString>

namespace tallic {

// Generate Chits for one date and memo runs on one workstation at a time: the look for
// members billed already and the run that follows hold this lock, so that two workstations
// cannot both find the members unbilled and both bill them. On a server it is an advisory
// lock of the daily database's session, whose application name carries the holder's user
// name; on files a lock of a file in the data folder that holds the name. Either dies with
// the process that holds it.
class GenerationLock
{
public:
    GenerationLock() = default;
    ~GenerationLock() { release(); }
    GenerationLock(const GenerationLock &) = delete;
    GenerationLock &operator=(const GenerationLock &) = delete;

    // What taking the lock found: taken, or held by another workstation, whose user name is
    // given when it can be told.
    struct Outcome
    {
        bool taken = false;
        QString holder;
    };
    // Takes the lock of the date and memo for the user; memos that differ only in letter case
    // or blanks bill the same, and share a lock.
    Result<Outcome> take(const QString &date, const QString &memo, const QString &user);
    // Lets go of it; also when the object goes.
    void release();

private:
    Result<Outcome> lockFile(const QString &user);

    qint64 number_ = 0; // the date and memo's, alike on every workstation
    bool held_ = false;
    QString path_; // on files: the lock file, open while the lock is held
    int file_ = -1;
};

} // namespace tallic
