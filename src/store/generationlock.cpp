#include "generationlock.h"

#include "database.h"
#include "datasource.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QtEndian>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

const QString DailyFile = u"DAILY.MDB"_s;
// A server session's application name: the program's, then its user's.
const QString NamePrefix = u"tallic "_s;
// The suite's number for a file that cannot be used.
constexpr qint32 FileAccessError = 75;

Failure lockFailure(const QString &path, int why)
{
    return Failure { FileAccessError,
                     u"The file "_s + path + u" cannot be locked: "_s
                         + QString::fromLocal8Bit(strerror(why)) };
}

// The session's advisory lock. The session names its user in its application name, which
// the other workstations read beside its lock.
Result<GenerationLock::Outcome> lockOnServer(qint64 number, const QString &user)
{
    SuiteDb daily(DailyFile);
    Result<QSqlQuery> tried
        = daily.query(u"select pg_try_advisory_lock(?), set_config('application_name', ?, false)"_s,
                      { number, NamePrefix + user });
    if (!tried)
        return tried.failure();
    if (!tried->next())
        return dbFailure(tried->lastError(), DailyFile);
    if (tried->value(0).toBool())
        return GenerationLock::Outcome { true, {} };
    // A lock of a bigint is the lock of its two halves.
    const Result<SuiteDb::FirstRow> row
        = daily.firstRow(u"select a.application_name from pg_locks l join pg_stat_activity a "
                         u"on a.pid = l.pid where l.locktype = 'advisory' and l.granted and "
                         u"l.classid = cast(? as oid) and l.objid = cast(? as oid) and "
                         u"l.objsubid = 1"_s,
                         { qint64(quint64(number) >> 32), qint64(quint32(number)) });
    const QString name = row ? row->values.value(0).toString() : QString();
    return GenerationLock::Outcome { false,
                                     name.startsWith(NamePrefix) ? name.mid(NamePrefix.size())
                                                                 : QString() };
}

} // namespace

Result<GenerationLock::Outcome> GenerationLock::take(const QString &date, const QString &memo,
                                                     const QString &user)
{
    release();
    // The same number on every workstation for the same date and memo.
    const QByteArray digest = QCryptographicHash::hash(
        (date + u' ' + memo.simplified().toCaseFolded()).toUtf8(), QCryptographicHash::Sha256);
    number_ = qFromBigEndian<qint64>(digest.constData());
    const bool onServer = currentDataSource().onServer();
    if (!onServer)
        path_ = QDir::current().filePath(
            u"tallic-generating-%1.lock"_s.arg(quint64(number_), 16, 16, QChar(u'0')));
    const Result<Outcome> locked = onServer ? lockOnServer(number_, user) : lockFile(user);
    held_ = locked && locked->taken;
    return locked;
}

// A file of the date and memo's own, locked by this open file alone, with the holder's name
// in it. A file that its last holder removed after it was opened here locks nothing, and is
// opened again.
Result<GenerationLock::Outcome> GenerationLock::lockFile(const QString &user)
{
    const QByteArray name = QFile::encodeName(path_);
    for (;;) {
        const int file = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (file < 0)
            return lockFailure(path_, errno);
        if (::flock(file, LOCK_EX | LOCK_NB) != 0) {
            const int why = errno;
            char said[256];
            const ssize_t got = ::pread(file, said, sizeof said, 0);
            ::close(file);
            if (why != EWOULDBLOCK)
                return lockFailure(path_, why);
            return Outcome { false, QString::fromUtf8(said, got > 0 ? got : 0) };
        }
        struct stat status;
        if (::fstat(file, &status) == 0 && status.st_nlink > 0) {
            // Without the name the lock still holds; the other workstation is told less.
            const QByteArray own = user.toUtf8();
            const bool named = ::ftruncate(file, 0) == 0
                && ::pwrite(file, own.constData(), size_t(own.size()), 0) == own.size();
            Q_UNUSED(named);
            file_ = file;
            return Outcome { true, {} };
        }
        ::close(file);
    }
}

void GenerationLock::release()
{
    if (!held_)
        return;
    held_ = false;
    if (file_ >= 0) {
        ::unlink(QFile::encodeName(path_).constData());
        ::close(file_);
        file_ = -1;
        return;
    }
    SuiteDb daily(DailyFile);
    (void)daily.query(u"select pg_advisory_unlock(?)"_s, { number_ });
}

} // namespace tallic
