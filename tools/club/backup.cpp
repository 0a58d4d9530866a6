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
Result<QJsonArray> describe(const QString &folder, const QStringList &files)
{
    ClubDb db;
    if (const Result<void> opened = db.openFiles(folder, files, Access::ReadOnly); !opened)
        return opened.failure();
    QJsonArray tables;
    for (const QString &file : files) {
        const Result<QList<TableDef>> defs = db.tables(file);
        if (!defs)
            return defs.failure();
        for (const TableDef &def : *defs) {
            const Result<Figures> figures = db.figures(file, def);
            if (!figures)
                return figures.failure();
            QJsonArray columns, values;
            for (qsizetype i = 0; i < def.columns.size(); ++i) {
                columns << def.columns.at(i).name;
                values << figures->columns.value(i);
            }
            tables << QJsonObject { { u"file"_s, file },
                                    { u"table"_s, def.name },
                                    { u"rows"_s, figures->rows },
                                    { u"columns"_s, columns },
                                    { u"figures"_s, values } };
        }
    }
    return tables;
}

// The copies of the source's databases in the folder, page by page from files, table by
// table from a server: the files copied.
Result<QStringList> snapshot(const DataSource &source, const QString &folder, Console &console)
{
    if (source.onServer()) {
        const Result<std::unique_ptr<ClubSource>> reader = dataFolder(source);
        if (!reader)
            return reader.failure();
        DataSource copy;
        copy.folder = folder;
        ClubTarget target(copy);
        Report report;
        if (const Result<void> written = writeClub(**reader, target, false, console, report);
            !written)
            return written.failure();
        return (*reader)->databases();
    }
    const Result<QStringList> present = suiteDatabasesIn(source);
    if (!present || present->isEmpty())
        return Failure(0, source.folder + u" holds none of the suite's databases"_s);
    const QStringList &files = *present;
    ClubDb db;
    Result<void> read = db.openFiles(source.folder, files, Access::ReadOnly);
    if (read)
        read = db.exec(u"begin"_s);
    for (const QString &file : files) {
        if (read)
            read = db.exec(u"select count(*) from "_s + quotedName(schemaOf(file), false)
                           + u".sqlite_master"_s);
    }
    if (!read)
        return read.failure();
    for (const QString &file : files) {
        console.line(u"  "_s + file);
        const Result<void> copied
            = copyDatabase(db.db(), schemaOf(file), QDir(folder).filePath(file));
        if (!copied)
            return Failure(0, file + u": "_s + copied.failure().description);
    }
    if (read = db.exec(u"commit"_s); !read)
        return read.failure();
    return files;
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

Result<Manifest> readManifest(QFile &file)
{
    if (file.read(Magic.size()) != Magic)
        return Failure(0, file.fileName() + u" is not a Tallic backup"_s);
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readLine(), &error);
    if (!document.isObject())
        return Failure(
            0, file.fileName() + u": its manifest cannot be read: "_s + error.errorString());
    return Manifest { document.object(), file.pos() };
}

// Writes the backup's databases into the folder, each checked against its digest, then
// every table against the manifest's figures: the files written.
Result<QStringList> unpack(const QString &path, const QString &folder, Console &console)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Failure(0, path + u": "_s + file.errorString());
    const Result<Manifest> manifest = readManifest(file);
    if (!manifest)
        return manifest.failure();
    QStringList files;
    for (const QJsonValue &entry : manifest->json.value(u"files"_s).toArray()) {
        const QJsonObject object = entry.toObject();
        const QString name = object.value(u"name"_s).toString();
        if (!suiteDatabase(name) || name.contains(u'/'))
            return Failure(0, path + u" names a database that is not the suite's: "_s + name);
        QFile out(QDir(folder).filePath(name));
        QCryptographicHash hash(QCryptographicHash::Sha256);
        if (!out.open(QIODevice::WriteOnly)
            || !copyBytes(file, out, qint64(object.value(u"size"_s).toDouble()), &hash))
            return Failure(0, path + u" is cut short in "_s + name);
        if (QString::fromLatin1(hash.result().toHex()) != object.value(u"sha256"_s).toString())
            return Failure(
                0, path + u": "_s + name + u" is not what was backed up (its digest differs)"_s);
        files << name;
    }
    const Result<QJsonArray> found = describe(folder, files);
    if (!found)
        return found.failure();
    // Compared as written: a number read back from the text may be of another type.
    if (QJsonDocument(*found).toJson(QJsonDocument::Compact)
        != QJsonDocument(manifest->json.value(u"tables"_s).toArray())
               .toJson(QJsonDocument::Compact))
        return Failure(0,
                       path + u": the databases do not hold the rows and sums of the manifest"_s);
    console.line(u"The backup of "_s + manifest->json.value(u"created"_s).toString() + u" from "_s
                 + manifest->json.value(u"source"_s).toString() + u": "_s
                 + QString::number(found->size()) + u" tables agree with its manifest"_s);
    return files;
}

} // namespace

Result<void> backupClub(const DataSource &source, const QString &path, Console &console)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QTemporaryDir work(QFileInfo(absolute).absolutePath() + u"/.tallic-backup-XXXXXX"_s);
    if (!work.isValid())
        return Failure(0, u"cannot write beside "_s + absolute);
    const Result<QStringList> copied = snapshot(source, work.path(), console);
    if (!copied)
        return copied.failure();
    const QStringList &files = *copied;
    // The figures and the digests each read every page: the figures in a thread of their
    // own meanwhile, on a connection of their own.
    Result<QJsonArray> tables = Failure();
    std::thread figures([&] { tables = describe(work.path(), files); });
    QJsonArray entries;
    Result<void> digested;
    for (const QString &file : files) {
        QFile in(QDir(work.path()).filePath(file));
        QCryptographicHash hash(QCryptographicHash::Sha256);
        if (!in.open(QIODevice::ReadOnly) || !hash.addData(&in)) {
            digested = Failure(0, file + u": "_s + in.errorString());
            break;
        }
        entries << QJsonObject { { u"name"_s, file },
                                 { u"size"_s, double(in.size()) },
                                 { u"sha256"_s, QString::fromLatin1(hash.result().toHex()) } };
    }
    figures.join();
    if (!digested)
        return digested;
    if (!tables)
        return tables.failure();

    QSaveFile out(absolute);
    if (!out.open(QIODevice::WriteOnly))
        return Failure(0, absolute + u": "_s + out.errorString());
    const QJsonObject manifest { { u"created"_s,
                                   QDateTime::currentDateTime().toString(Qt::ISODate) },
                                 { u"source"_s, where(source) },
                                 { u"schemaVersion"_s, SuiteSchemaVersion },
                                 { u"files"_s, entries },
                                 { u"tables"_s, *tables } };
    out.write(Magic);
    out.write(QJsonDocument(manifest).toJson(QJsonDocument::Compact) + '\n');
    for (const QString &file : files) {
        QFile in(QDir(work.path()).filePath(file));
        if (!in.open(QIODevice::ReadOnly) || !copyBytes(in, out, in.size(), nullptr)) {
            const Failure failure(0, absolute + u": "_s + out.errorString());
            out.cancelWriting();
            return failure;
        }
    }
    if (!out.commit())
        return Failure(0, absolute + u": "_s + out.errorString());
    return {};
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
    const Result<QStringList> present
        = ignoreStaff ? Result<QStringList>(QStringList()) : suiteDatabasesIn(target);
    if (present && present->contains(u"user.mdb"_s)) {
        ClubDb db;
        const Result<void> open = target.onServer()
            ? db.openServer(target)
            : db.openFiles(target.folder, { u"user.mdb"_s }, Access::ReadOnly);
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
    if (const Result<void> saved = backupClub(source, file, console); !saved)
        return failed(saved.failure().description + u"; no backup was written"_s);
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
    QStringList files;
    const auto refused = [](const Failure &failure) {
        return failed(failure.description + u"; nothing was restored"_s);
    };
    if (!target.onServer()) {
        ClubTarget club(target);
        if (const Result<void> begun = club.begin(true); !begun)
            return refused(begun.failure());
        const Result<QStringList> unpacked = unpack(file, club.stagingFolder(), console);
        if (!unpacked)
            return refused(unpacked.failure());
        files = *unpacked;
        for (const QString &name : std::as_const(files))
            club.adopt(name);
        if (const Result<void> committed = club.commit(); !committed)
            return failed(committed.failure().description);
    } else {
        QTemporaryDir work;
        if (!work.isValid())
            return refused(Failure());
        const Result<QStringList> unpackedFiles = unpack(file, work.path(), console);
        if (!unpackedFiles)
            return refused(unpackedFiles.failure());
        files = *unpackedFiles;
        DataSource unpacked;
        unpacked.folder = work.path();
        const Result<std::unique_ptr<ClubSource>> reader = dataFolder(unpacked);
        if (!reader)
            return refused(reader.failure());
        ClubTarget club(target);
        Report report;
        if (const Result<void> written = writeClub(**reader, club, true, console, report); !written)
            return refused(written.failure());
    }
    return { true,
             u"%1 databases of %2 restored into %3"_s.arg(files.size()).arg(file, where(target)) };
}

} // namespace tallic::club
