// tallic-club backup and restore.
#include "backup.h"

#include "commands.h"
#include "transfer.h"

#include "platform/singleinstance.h"
#include "suite/sqlitefiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QSaveFile>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <signal.h>

#include <thread>

using namespace Qt::Literals::StringLiterals;

namespace tallic::club {

namespace {

const QByteArray Magic = "TALLIC-BACKUP 1\n";
constexpr qint64 Chunk = 1 << 20;

QString where(const DataSource &source)
{
    return source.onServer() ? u"the server's database "_s + source.database : source.folder;
}

// Every table of the files in the folder, with its figures, for the manifest.
bool describe(const QString &folder, const QStringList &files, QJsonArray &tables, QString &problem)
{
    ClubDb db;
    if (!db.openFiles(folder, files, Access::ReadOnly, problem))
        return false;
    for (const QString &file : files) {
        const QList<TableDef> defs = db.tables(file, problem);
        if (!problem.isEmpty())
            return false;
        for (const TableDef &def : defs) {
            Figures figures;
            if (!db.figures(file, def, figures, problem))
                return false;
            QJsonArray columns, values;
            for (qsizetype i = 0; i < def.columns.size(); ++i) {
                columns << def.columns.at(i).name;
                values << figures.columns.value(i);
            }
            tables << QJsonObject { { u"file"_s, file },
                                    { u"table"_s, def.name },
                                    { u"rows"_s, figures.rows },
                                    { u"columns"_s, columns },
                                    { u"figures"_s, values } };
        }
    }
    return true;
}

// The copies of the source's databases in the folder: page by page from files, table by
// table from a server.
bool snapshot(const DataSource &source, const QString &folder, QStringList &files, Console &console,
              QString &problem)
{
    if (source.onServer()) {
        std::unique_ptr<ClubSource> reader = dataFolder(source, problem);
        if (!reader)
            return false;
        DataSource copy;
        copy.folder = folder;
        ClubTarget target(copy);
        Report report;
        if (!target.begin(false, problem)
            || !transferClub(*reader, target, console, report, problem) || !target.commit(problem))
            return false;
        files = reader->databases();
        return true;
    }
    files = suiteDatabasesIn(source, problem);
    if (files.isEmpty()) {
        problem = source.folder + u" holds none of the suite's databases"_s;
        return false;
    }
    ClubDb db;
    if (!db.openFiles(source.folder, files, Access::ReadOnly, problem)
        || !db.exec(u"begin"_s, problem))
        return false;
    for (const QString &file : std::as_const(files)) {
        if (!db.exec(u"select count(*) from "_s + quotedName(schemaOf(file), false)
                         + u".sqlite_master"_s,
                     problem))
            return false;
    }
    for (const QString &file : std::as_const(files)) {
        console.line(u"  "_s + file);
        if (!copyDatabase(db.db(), schemaOf(file), QDir(folder).filePath(file), problem)) {
            problem = file + u": "_s + problem;
            return false;
        }
    }
    return db.exec(u"commit"_s, problem);
}

bool copyBytes(QIODevice &from, QIODevice &to, qint64 size, QCryptographicHash *hash)
{
    QByteArray buffer;
    while (size > 0) {
        buffer = from.read(qMin(size, Chunk));
        if (buffer.isEmpty() || to.write(buffer) != buffer.size())
            return false;
        if (hash)
            hash->addData(buffer);
        size -= buffer.size();
    }
    return true;
}

struct Manifest
{
    QJsonObject json;
    qint64 dataStart = 0;
};

bool readManifest(QFile &file, Manifest &manifest, QString &problem)
{
    if (file.read(Magic.size()) != Magic) {
        problem = file.fileName() + u" is not a Tallic backup"_s;
        return false;
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readLine(), &error);
    if (!document.isObject()) {
        problem = file.fileName() + u": its manifest cannot be read: "_s + error.errorString();
        return false;
    }
    manifest.json = document.object();
    manifest.dataStart = file.pos();
    return true;
}

// Writes the backup's databases into the folder, each checked against its digest, then
// every table against the manifest's figures.
bool unpack(const QString &path, const QString &folder, QStringList &files, Console &console,
            QString &problem)
{
    QFile file(path);
    Manifest manifest;
    if (!file.open(QIODevice::ReadOnly)) {
        problem = path + u": "_s + file.errorString();
        return false;
    }
    if (!readManifest(file, manifest, problem))
        return false;
    for (const QJsonValue &entry : manifest.json.value(u"files"_s).toArray()) {
        const QJsonObject object = entry.toObject();
        const QString name = object.value(u"name"_s).toString();
        if (!suiteDatabase(name) || name.contains(u'/')) {
            problem = path + u" names a database that is not the suite's: "_s + name;
            return false;
        }
        QFile out(QDir(folder).filePath(name));
        QCryptographicHash hash(QCryptographicHash::Sha256);
        if (!out.open(QIODevice::WriteOnly)
            || !copyBytes(file, out, qint64(object.value(u"size"_s).toDouble()), &hash)) {
            problem = path + u" is cut short in "_s + name;
            return false;
        }
        if (QString::fromLatin1(hash.result().toHex()) != object.value(u"sha256"_s).toString()) {
            problem = path + u": "_s + name + u" is not what was backed up (its digest differs)"_s;
            return false;
        }
        files << name;
    }
    QJsonArray found;
    if (!describe(folder, files, found, problem))
        return false;
    // Compared as written: a number read back from the text may be of another type.
    if (QJsonDocument(found).toJson(QJsonDocument::Compact)
        != QJsonDocument(manifest.json.value(u"tables"_s).toArray())
               .toJson(QJsonDocument::Compact)) {
        problem = path + u": the databases do not hold the rows and sums of the manifest"_s;
        return false;
    }
    console.line(u"The backup of "_s + manifest.json.value(u"created"_s).toString() + u" from "_s
                 + manifest.json.value(u"source"_s).toString() + u": "_s
                 + QString::number(found.size()) + u" tables agree with its manifest"_s);
    return true;
}

} // namespace

bool backupClub(const DataSource &source, const QString &path, Console &console, QString &problem)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QTemporaryDir work(QFileInfo(absolute).absolutePath() + u"/.tallic-backup-XXXXXX"_s);
    if (!work.isValid()) {
        problem = u"cannot write beside "_s + absolute;
        return false;
    }
    QStringList files;
    if (!snapshot(source, work.path(), files, console, problem))
        return false;
    // The figures and the digests each read every page: the figures in a thread of their
    // own meanwhile, on a connection of their own.
    QJsonArray tables;
    QString undescribed;
    bool described = false;
    std::thread figures([&] { described = describe(work.path(), files, tables, undescribed); });
    QJsonArray entries;
    for (const QString &file : std::as_const(files)) {
        QFile in(QDir(work.path()).filePath(file));
        QCryptographicHash hash(QCryptographicHash::Sha256);
        if (!in.open(QIODevice::ReadOnly) || !hash.addData(&in)) {
            problem = file + u": "_s + in.errorString();
            break;
        }
        entries << QJsonObject { { u"name"_s, file },
                                 { u"size"_s, double(in.size()) },
                                 { u"sha256"_s, QString::fromLatin1(hash.result().toHex()) } };
    }
    figures.join();
    if (!problem.isEmpty() || !described) {
        problem = problem.isEmpty() ? undescribed : problem;
        return false;
    }

    QSaveFile out(absolute);
    if (!out.open(QIODevice::WriteOnly)) {
        problem = absolute + u": "_s + out.errorString();
        return false;
    }
    const QJsonObject manifest { { u"created"_s,
                                   QDateTime::currentDateTime().toString(Qt::ISODate) },
                                 { u"source"_s, where(source) },
                                 { u"schemaVersion"_s, SuiteSchemaVersion },
                                 { u"files"_s, entries },
                                 { u"tables"_s, tables } };
    out.write(Magic);
    out.write(QJsonDocument(manifest).toJson(QJsonDocument::Compact) + '\n');
    for (const QString &file : std::as_const(files)) {
        QFile in(QDir(work.path()).filePath(file));
        if (!in.open(QIODevice::ReadOnly) || !copyBytes(in, out, in.size(), nullptr)) {
            problem = absolute + u": "_s + out.errorString();
            out.cancelWriting();
            return false;
        }
    }
    if (!out.commit()) {
        problem = absolute + u": "_s + out.errorString();
        return false;
    }
    return true;
}

QString workstationsRunning(const DataSource &target, bool ignoreStaff)
{
    QStringList running;
    // This computer's Tallic, when it runs in the folder.
    QLockFile lock(SingleInstance::defaultLockPath());
    qint64 pid = 0;
    QString host, application;
    if (lock.getLockInfo(&pid, &host, &application) && pid > 0 && ::kill(pid_t(pid), 0) == 0
        && QFileInfo(u"/proc/%1/cwd"_s.arg(pid)).canonicalFilePath()
            == QFileInfo(target.folder).canonicalFilePath())
        running << u"Tallic runs in the folder on this computer (process %1)"_s.arg(pid);
    QString problem;
    if (!ignoreStaff && suiteDatabasesIn(target, problem).contains(u"user.mdb"_s)) {
        ClubDb db;
        const bool open = target.onServer()
            ? db.openServer(target, problem)
            : db.openFiles(target.folder, { u"user.mdb"_s }, Access::ReadOnly, problem);
        QSqlQuery query(db.db());
        if (open
            && query.exec(u"select username from "_s + db.table(u"user.mdb"_s, u"staff"_s)
                          + u" where location = 'A/R Chit'"_s)) {
            while (query.next())
                running << query.value(0).toString().trimmed()
                        + u" is keying chits (the staff table says A/R Chit)"_s;
        }
    }
    return running.join(u"; "_s);
}

Outcome commandBackup(const QString &folder, const QString &file, Console &console)
{
    const DataSource source = dataFolderSource(folder);
    if (!source.problem.isEmpty())
        return failed(source.problem);
    QString problem;
    if (!backupClub(source, file, console, problem))
        return failed(problem + u"; no backup was written"_s);
    return {
        true,
        u"%1 backed up into %2 (%3 bytes)"_s.arg(where(source), file).arg(QFileInfo(file).size())
    };
}

Outcome commandRestore(const QString &file, const QString &folder, bool force, Console &console)
{
    const DataSource target = dataFolderSource(folder);
    if (!target.problem.isEmpty())
        return failed(target.problem);
    const QString running = workstationsRunning(target, force);
    if (!running.isEmpty())
        return failed(running + u"; close Tallic there first, nothing was restored"_s);
    QString problem;
    QStringList files;
    if (!target.onServer()) {
        ClubTarget club(target);
        if (!club.begin(true, problem)
            || !unpack(file, club.stagingFolder(), files, console, problem))
            return failed(problem + u"; nothing was restored"_s);
        for (const QString &name : std::as_const(files))
            club.adopt(name);
        if (!club.commit(problem))
            return failed(problem);
    } else {
        QTemporaryDir work;
        if (!work.isValid() || !unpack(file, work.path(), files, console, problem))
            return failed(problem + u"; nothing was restored"_s);
        DataSource unpacked;
        unpacked.folder = work.path();
        std::unique_ptr<ClubSource> reader = dataFolder(unpacked, problem);
        ClubTarget club(target);
        Report report;
        if (!reader || !club.begin(true, problem)
            || !transferClub(*reader, club, console, report, problem) || !club.commit(problem))
            return failed(problem + u"; nothing was restored"_s);
    }
    return { true,
             u"%1 databases of %2 restored into %3"_s.arg(files.size()).arg(file, where(target)) };
}

} // namespace tallic::club
