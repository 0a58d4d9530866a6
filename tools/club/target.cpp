#include "target.h"

#include "store/schema.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace tallic::club {

namespace {

const QString StagingPrefix = u".tallic-club-"_s;
const QString ReportName = u"import-report.txt"_s;
// Written into the staging folder once every database in it is complete: from then on the
// move into place is finished, by this command or the next one in the folder.
const QString CompleteMarker = u"COMPLETE"_s;

bool syncPath(const QString &path)
{
    QFile file(path);
    if (!file.open(QFileInfo(path).isDir() ? QIODevice::ReadOnly : QIODevice::ReadWrite))
        return QFileInfo(path).isDir(); // a folder that cannot be opened is synced with its files
    return ::fsync(file.handle()) == 0;
}

// Moves every database of a complete staging folder into place, and removes the suite's
// files it lists as replaced; then the staging folder itself.
Result<void> finishMove(const QString &folder, const QString &staging)
{
    QFile marker(QDir(staging).filePath(CompleteMarker));
    if (!marker.open(QIODevice::ReadOnly))
        return Failure(0, staging + u": the list of files is unreadable"_s);
    const QStringList removed
        = QString::fromUtf8(marker.readAll()).split(u'\n', Qt::SkipEmptyParts);
    marker.close();
    const QDir dir(folder);
    const QStringList files = QDir(staging).entryList({ u"*.mdb"_s }, QDir::Files);
    if (QFile::exists(QDir(staging).filePath(ReportName))) {
        QFile::remove(dir.filePath(ReportName));
        if (!QFile::rename(QDir(staging).filePath(ReportName), dir.filePath(ReportName)))
            return Failure(0, u"cannot move "_s + ReportName + u" into "_s + folder);
    }
    for (const QString &file : files) {
        const QString existing = findSuiteFile(folder, file);
        const QString path = dir.filePath(file);
        // An old journal beside the new file would be played into it.
        if (!existing.isEmpty())
            removeCompanions(existing);
        removeCompanions(path);
        if (!QFile::rename(QDir(staging).filePath(file), path)
            && !(QFile::remove(path) && QFile::rename(QDir(staging).filePath(file), path)))
            return Failure(0, u"cannot move "_s + file + u" into "_s + folder);
        if (!existing.isEmpty() && QFileInfo(existing).fileName() != file)
            QFile::remove(existing);
    }
    for (const QString &file : removed) {
        const QString existing = findSuiteFile(folder, file);
        if (!existing.isEmpty() && !files.contains(file)) {
            removeCompanions(existing);
            QFile::remove(existing);
        }
    }
    syncPath(folder);
    QDir(staging).removeRecursively();
    return {};
}

// The report beside the data, where the office finds it, readable as the databases are.
Result<void> writeReport(const QString &path, const QByteArray &text)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) < 0
        || !file.setPermissions(filePermissionsIn(QFileInfo(path).absolutePath()))
        || !file.commit())
        return Failure(0, path + u": "_s + file.errorString());
    return {};
}

} // namespace

int hold(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

namespace {

// Removes what a command left at the path, when none holds it now, and says so.
void removeIfLeft(const QString &path, Console &console)
{
    // Free once the command that held it is gone, however it ended.
    const int fd = hold(path);
    if (fd < 0)
        return;
    const bool removed
        = QFileInfo(path).isDir() ? QDir(path).removeRecursively() : QFile::remove(path);
    ::close(fd);
    if (removed)
        console.line(u"Removed "_s + path + u", left by a command that was stopped"_s);
}

} // namespace

void removeLeftovers(const QString &folder, const QString &prefix, Console &console)
{
    const QDir dir(folder);
    const QStringList names = dir.entryList(
        { prefix + u'*' }, QDir::Dirs | QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString &name : names)
        removeIfLeft(dir.filePath(name), console);
}

void settleFolder(const QString &folder, bool finish, Console &console)
{
    const QDir dir(folder);
    const QStringList stagings
        = dir.entryList({ StagingPrefix + u'*' }, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString &name : stagings) {
        const QString staging = dir.filePath(name);
        if (!QFile::exists(QDir(staging).filePath(CompleteMarker))) {
            removeIfLeft(staging, console);
            continue;
        }
        const int fd = finish ? hold(staging) : -1;
        if (fd < 0)
            continue;
        if (const Result<void> moved = finishMove(folder, staging); !moved)
            console.warn(moved.failure().fullText());
        else
            console.line(u"Moved the databases of "_s + staging
                         + u" into place, which a command stopped at its end had left"_s);
        ::close(fd);
    }
}

ClubTarget::ClubTarget(const DataSource &target)
    : target_(target)
{
}

ClubTarget::~ClubTarget()
{
    if (claim_ >= 0)
        ::close(claim_);
    if (committed_)
        return;
    if (target_.onServer()) {
        // Closing the connection undoes the transaction all the same.
        if (db_.db().isOpen())
            (void)db_.exec(u"rollback"_s);
        db_.close();
        return;
    }
    db_.close();
    if (!staging_.isEmpty())
        QDir(staging_).removeRecursively();
    lock_.reset();
    // A folder it made for the club is not left behind empty.
    if (made_)
        QDir(target_.folder).removeRecursively();
}

Result<void> ClubTarget::begin(bool replace, Console &console)
{
    replace_ = replace;
    if (target_.onServer()) {
        // The keys and indexes are built once the rows are in, each sorted in memory where
        // the server's default would sort a large table on disk, and by more processes than
        // its default two: a case-blind index sorts its texts slowly (each comparison folds
        // both to lower case), so a million rows took 7 s alone and 3.4 s with four helpers,
        // even on two cores.
        Result<void> begun = db_.openServer(target_);
        if (begun)
            begun = db_.exec({ u"begin"_s, u"set local maintenance_work_mem = '256MB'"_s,
                               u"set local max_parallel_maintenance_workers = 4"_s });
        if (!begun)
            return begun;
        inTransaction_ = true;
        const Result<QString> textSchema = textSchemaOf(db_.db());
        if (!textSchema)
            return textSchema.failure();
        textSchema_ = *textSchema;
        if (replace) {
            for (const SuiteDatabase &definition : suiteDatabases()) {
                if (Result<void> dropped
                    = db_.exec(u"drop schema if exists "_s
                               + quotedName(schemaOf(definition.file), true) + u" cascade"_s);
                    !dropped)
                    return dropped;
            }
        }
        return {};
    }
    made_ = !QFileInfo::exists(target_.folder);
    if (!QDir().mkpath(target_.folder)) {
        made_ = false;
        return Failure(0, u"cannot make the folder "_s + target_.folder);
    }
    // The folder was not there for the command to take: it is taken now it is.
    if (made_) {
        Result<std::unique_ptr<FolderLock>> lock
            = FolderLock::take(target_, u"tallic-club"_s, FolderLock::Use::Alone);
        if (!lock)
            return lock.failure();
        lock_ = std::move(*lock);
    }
    settleFolder(target_.folder, true, console);
    staging_ = QDir(target_.folder)
                   .filePath(StagingPrefix + QString::number(QCoreApplication::applicationPid()));
    QDir(staging_).removeRecursively();
    if (!QDir().mkpath(staging_))
        return Failure(0, u"cannot write in "_s + target_.folder);
    claim_ = hold(staging_);
    return db_.openFiles(staging_, {}, Access::ReadWrite);
}

Result<void> ClubTarget::addDatabase(const QString &file, bool withSuiteTables)
{
    const SuiteDatabase *suite = suiteDatabase(file);
    SuiteDatabase definition { file.toLower(), {} };
    if (withSuiteTables && suite)
        definition = *suite;
    if (target_.onServer()) {
        QStringList statements = schemaStatements(definition, textSchema_);
        // Back to the schema of no database: every later statement names its schema.
        statements << u"set local search_path to "_s + textSchema_;
        return db_.exec(statements);
    }
    Result<void> added = finishFile();
    const QString path = QDir(staging_).filePath(definition.file);
    if (added)
        added = createSuiteFile(path, definition);
    if (added)
        added = db_.attach(path, file);
    // A file being made is written once, with no journal (a failure throws it away whole),
    // and synced once, when it is complete.
    const QString schema = quotedName(schemaOf(file), false);
    if (added)
        added = db_.exec({ u"pragma "_s + schema + u".user_version = "_s + QString::number(layout_),
                           u"pragma "_s + schema + u".synchronous = off"_s,
                           u"pragma "_s + schema + u".journal_mode = off"_s,
                           u"pragma "_s + schema + u".cache_size = -65536"_s, u"begin"_s });
    if (!added)
        return added;
    inTransaction_ = true;
    writing_ = schema;
    staged_ << definition.file;
    return {};
}

Result<void> ClubTarget::finishFile()
{
    if (!inTransaction_)
        return {};
    inTransaction_ = false;
    // Kept as every program of the suite keeps its files, in write-ahead logging.
    return db_.exec({ u"commit"_s, u"pragma "_s + writing_ + u".journal_mode = wal"_s });
}

Result<void> ClubTarget::commit()
{
    if (target_.onServer()) {
        // The report of an earlier copy goes before the new data is in, this one after.
        const QString report = QDir(target_.folder).filePath(ReportName);
        QFile::remove(report);
        Result<void> stored = db_.exec(versionStatements(layout_));
        if (stored)
            stored = db_.exec(u"commit"_s);
        if (!stored)
            return stored;
        committed_ = true;
        db_.close();
        return report_.isEmpty() ? Result<void>() : writeReport(report, report_);
    }
    if (Result<void> finished = finishFile(); !finished)
        return finished;
    db_.close();
    if (!report_.isEmpty()) {
        if (Result<void> written = writeReport(QDir(staging_).filePath(ReportName), report_);
            !written)
            return written;
        staged_ << ReportName;
    }
    const QFileDevice::Permissions permissions = filePermissionsIn(target_.folder);
    for (const QString &file : std::as_const(staged_)) {
        const QString path = QDir(staging_).filePath(file);
        if (!QFile::setPermissions(path, permissions) || !syncPath(path))
            return Failure(0, u"cannot write "_s + file + u" to the disk"_s);
    }
    QStringList removed;
    if (replace_) {
        for (const SuiteDatabase &definition : suiteDatabases())
            removed << definition.file;
    }
    QFile marker(QDir(staging_).filePath(CompleteMarker));
    if (!marker.open(QIODevice::WriteOnly) || marker.write(removed.join(u'\n').toUtf8() + '\n') < 0
        || !marker.flush() || ::fsync(marker.handle()) != 0)
        return Failure(0, u"cannot write in "_s + staging_);
    marker.close();
    const Result<void> moved = finishMove(target_.folder, staging_);
    committed_ = moved.ok();
    return moved;
}

} // namespace tallic::club
