#include "target.h"

#include "suite/schema.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <signal.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace tallic::club {

namespace {

const QString StagingPrefix = u".tallic-club-"_s;
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
bool finishMove(const QString &folder, const QString &staging, QString &problem)
{
    QFile marker(QDir(staging).filePath(CompleteMarker));
    if (!marker.open(QIODevice::ReadOnly)) {
        problem = staging + u": the list of files is unreadable"_s;
        return false;
    }
    const QStringList removed
        = QString::fromUtf8(marker.readAll()).split(u'\n', Qt::SkipEmptyParts);
    marker.close();
    const QDir dir(folder);
    const QStringList files = QDir(staging).entryList({ u"*.mdb"_s }, QDir::Files);
    for (const QString &file : files) {
        const QString existing = findSuiteFile(folder, file);
        const QString path = dir.filePath(file);
        // An old journal beside the new file would be played into it.
        if (!existing.isEmpty())
            removeCompanions(existing);
        removeCompanions(path);
        if (!QFile::rename(QDir(staging).filePath(file), path)
            && !(QFile::remove(path) && QFile::rename(QDir(staging).filePath(file), path))) {
            problem = u"cannot move "_s + file + u" into "_s + folder;
            return false;
        }
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
    return true;
}

} // namespace

void settleFolder(const QString &folder)
{
    const QDir dir(folder);
    const QStringList stagings
        = dir.entryList({ StagingPrefix + u'*' }, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString &name : stagings) {
        const QString staging = dir.filePath(name);
        const qint64 pid = name.mid(StagingPrefix.size()).toLongLong();
        if (QFile::exists(QDir(staging).filePath(CompleteMarker))) {
            QString problem;
            if (!finishMove(folder, staging, problem))
                qWarning("%ls", qUtf16Printable(problem));
        } else if (pid <= 0
                   || (pid != QCoreApplication::applicationPid() && ::kill(pid_t(pid), 0) != 0)) {
            QDir(staging).removeRecursively();
        }
    }
}

ClubTarget::ClubTarget(const DataSource &target)
    : target_(target)
{
}

ClubTarget::~ClubTarget()
{
    if (committed_)
        return;
    if (target_.onServer()) {
        QString ignored;
        if (db_.db().isOpen())
            db_.exec(u"rollback"_s, ignored);
        db_.close();
        return;
    }
    db_.close();
    if (!staging_.isEmpty())
        QDir(staging_).removeRecursively();
}

bool ClubTarget::begin(bool replace, QString &problem)
{
    replace_ = replace;
    if (target_.onServer()) {
        // The keys and indexes are built once the rows are in, each sorted in memory where
        // the server's default would sort a large table on disk.
        if (!db_.openServer(target_, problem)
            || !db_.exec({ u"begin"_s, u"set local maintenance_work_mem = '256MB'"_s }, problem))
            return false;
        inTransaction_ = true;
        textSchema_ = textSchemaOf(db_.db(), problem);
        if (textSchema_.isEmpty())
            return false;
        if (replace) {
            for (const SuiteDatabase &definition : suiteDatabases()) {
                if (!db_.exec(u"drop schema if exists "_s
                                  + quotedName(schemaOf(definition.file), true) + u" cascade"_s,
                              problem))
                    return false;
            }
        }
        return true;
    }
    if (!QDir().mkpath(target_.folder)) {
        problem = u"cannot make the folder "_s + target_.folder;
        return false;
    }
    settleFolder(target_.folder);
    staging_ = QDir(target_.folder)
                   .filePath(StagingPrefix + QString::number(QCoreApplication::applicationPid()));
    QDir(staging_).removeRecursively();
    if (!QDir().mkpath(staging_)) {
        problem = u"cannot write in "_s + target_.folder;
        return false;
    }
    return db_.openFiles(staging_, {}, Access::ReadWrite, problem);
}

bool ClubTarget::addDatabase(const QString &file, bool withSuiteTables, QString &problem)
{
    const SuiteDatabase *suite = suiteDatabase(file);
    SuiteDatabase definition { file.toLower(), {} };
    if (withSuiteTables && suite)
        definition = *suite;
    if (target_.onServer()) {
        QStringList statements = schemaStatements(definition, textSchema_);
        // Back to the schema of no database: every later statement names its schema.
        statements << u"set local search_path to "_s + textSchema_;
        return db_.exec(statements, problem);
    }
    if (!finishFile(problem))
        return false;
    const QString path = QDir(staging_).filePath(definition.file);
    if (!createSuiteFile(path, definition, problem) || !db_.attach(path, file, problem))
        return false;
    // A file being made is written once, with no journal (a failure throws it away whole),
    // and synced once, when it is complete.
    const QString schema = quotedName(schemaOf(file), false);
    if (!db_.exec({ u"pragma "_s + schema + u".synchronous = off"_s,
                    u"pragma "_s + schema + u".journal_mode = off"_s,
                    u"pragma "_s + schema + u".cache_size = -65536"_s, u"begin"_s },
                  problem))
        return false;
    inTransaction_ = true;
    writing_ = schema;
    staged_ << definition.file;
    return true;
}

bool ClubTarget::finishFile(QString &problem)
{
    if (!inTransaction_)
        return true;
    inTransaction_ = false;
    // Kept as every program of the suite keeps its files, in write-ahead logging.
    return db_.exec({ u"commit"_s, u"pragma "_s + writing_ + u".journal_mode = wal"_s }, problem);
}

bool ClubTarget::commit(QString &problem)
{
    if (target_.onServer()) {
        if (!db_.exec(versionStatements(SuiteSchemaVersion), problem)
            || !db_.exec(u"commit"_s, problem))
            return false;
        committed_ = true;
        db_.close();
        return true;
    }
    if (!finishFile(problem))
        return false;
    db_.close();
    for (const QString &file : std::as_const(staged_)) {
        if (!syncPath(QDir(staging_).filePath(file))) {
            problem = u"cannot write "_s + file + u" to the disk"_s;
            return false;
        }
    }
    QStringList removed;
    if (replace_) {
        for (const SuiteDatabase &definition : suiteDatabases())
            removed << definition.file;
    }
    QFile marker(QDir(staging_).filePath(CompleteMarker));
    if (!marker.open(QIODevice::WriteOnly) || marker.write(removed.join(u'\n').toUtf8() + '\n') < 0
        || !marker.flush() || ::fsync(marker.handle()) != 0) {
        problem = u"cannot write in "_s + staging_;
        return false;
    }
    marker.close();
    committed_ = finishMove(target_.folder, staging_, problem);
    return committed_;
}

} // namespace tallic::club
