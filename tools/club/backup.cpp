// tallic-club backup and restore.
#include "backup.h"

#include "commands.h"
#include "transfer.h"

#include "target.h"

#include "store/copyintofile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QtEndian>

#include <fcntl.h>
#include <stdio.h>
#include <sys/mman.h>
#include <unistd.h>

#include <optional>

using namespace Qt::Literals::StringLiterals;

namespace tallic::club {

namespace {

const QByteArray Magic = "TALLIC-BACKUP 2\n";
// A backup's parts while it is written, beside it; what a stopped one left is removed.
const QString PartPrefix = u".tallic-backup-"_s;
// The manifest's place in the file, at its end: twenty digits and a line feed.
constexpr qint64 TrailerSize = 21;
constexpr qint64 Chunk = 1 << 20;

// A Fletcher sum of the bytes as 32-bit words: a changed, lost or moved word changes it.
// Every part added but the last holds whole words.
class Checksum
{
public:
    void add(const uchar *bytes, qint64 size)
    {
        qint64 i = 0;
        for (; i + 4 <= size; i += 4) {
            low_ += qFromLittleEndian<quint32>(bytes + i);
            high_ += low_;
        }
        if (i < size) {
            uchar last[4] = {};
            memcpy(last, bytes + i, size_t(size - i));
            add(last, 4);
        }
    }
    QString text() const
    {
        return u"%1%2"_s.arg(qulonglong(high_), 16, 16, QChar(u'0'))
            .arg(qulonglong(low_), 16, 16, QChar(u'0'));
    }

private:
    quint64 low_ = 0;
    quint64 high_ = 0;
};

// Every table of the database with its rows, added to the manifest's list.
Result<void> countRows(ClubDb &db, const QString &file, QJsonArray &tables)
{
    const Result<QList<TableDef>> defs = db.tables(file);
    if (!defs)
        return defs.failure();
    for (const TableDef &def : *defs) {
        const Result<qint64> rows = db.count(file, def.name);
        if (!rows)
            return rows.failure();
        tables << QJsonObject { { u"file"_s, file },
                                { u"table"_s, def.name },
                                { u"rows"_s, double(*rows) } };
    }
    return {};
}

// The server's tables written into files in the folder, in one repeatable-read
// transaction: the files written.
Result<QStringList> serverSnapshot(const Folder &source, const QString &folder, Console &console)
{
    const Result<std::unique_ptr<ClubSource>> reader = dataFolder(source.source);
    if (!reader)
        return reader.failure();
    DataSource copy;
    copy.folder = folder;
    ClubTarget target(copy);
    target.setLayout(source.layout);
    Report report;
    if (const Result<void> written = writeClub(**reader, target, false, console, report); !written)
        return written.failure();
    return (*reader)->databases();
}

// Copies the database, as the connection's transaction sees it, into the file at the
// offset: its entry in the manifest.
Result<QJsonObject> storeDatabase(ClubDb &db, const QString &file, QFile &out, qint64 offset)
{
    const Result<qint64> size = copyDatabaseIntoFile(db.db(), schemaOf(file), out.handle(), offset);
    if (!size)
        return size.failure();
    // The checksum of what is in the file, read back through the computer's cache.
    Checksum sum;
    if (*size > 0) {
        void *mapped = ::mmap(nullptr, size_t(*size), PROT_READ, MAP_SHARED, out.handle(), offset);
        if (mapped == MAP_FAILED)
            return Failure(0, qt_error_string());
        sum.add(static_cast<const uchar *>(mapped), *size);
        ::munmap(mapped, size_t(*size));
    }
    return QJsonObject { { u"name"_s, file },
                         { u"offset"_s, double(offset) },
                         { u"size"_s, double(*size) },
                         { u"checksum"_s, sum.text() } };
}

bool copyBytes(QIODevice &from, QIODevice &to, qint64 size, Checksum &sum)
{
    QByteArray buffer;
    while (size > 0) {
        buffer = from.read(qMin(size, Chunk));
        if (buffer.isEmpty() || to.write(buffer) != buffer.size())
            return false;
        sum.add(reinterpret_cast<const uchar *>(buffer.constData()), buffer.size());
        size -= buffer.size();
    }
    return true;
}

// Opens the backup and reads its manifest, leaving the file open for its databases.
Result<QJsonObject> readManifest(QFile &file)
{
    if (!file.open(QIODevice::ReadOnly))
        return Failure(0, file.fileName() + u": "_s + file.errorString());
    const QByteArray first = file.read(Magic.size());
    if (first != Magic)
        return Failure(0,
                       file.fileName()
                           + (first.startsWith("TALLIC-BACKUP ")
                                  ? u" was written by another version of tallic-club"_s
                                  : u" is not a Tallic backup"_s));
    const qint64 size = file.size();
    bool found = size >= Magic.size() + TrailerSize && file.seek(size - TrailerSize);
    const qint64 start = found ? file.read(TrailerSize).trimmed().toLongLong(&found) : 0;
    if (!found || start < Magic.size() || start > size - TrailerSize || !file.seek(start))
        return Failure(0, file.fileName() + u" is cut short: its manifest is missing"_s);
    QJsonParseError error;
    const QJsonDocument document
        = QJsonDocument::fromJson(file.read(size - TrailerSize - start), &error);
    if (!document.isObject())
        return Failure(
            0, file.fileName() + u": its manifest cannot be read: "_s + error.errorString());
    return document.object();
}

// The layout the backup's databases were written in; a newer one is refused.
Result<int> backupLayout(const QString &path)
{
    QFile file(path);
    const Result<QJsonObject> manifest = readManifest(file);
    if (!manifest)
        return manifest.failure();
    const int layout = manifest->value(u"schemaVersion"_s).toInt();
    if (layout > SuiteSchemaVersion)
        return Failure(0,
                       u"%1 holds a club written by a newer Tallic (layout %2; this tallic-club "
                       u"reads layout %3 and older): use the newer tallic-club"_s.arg(path)
                           .arg(layout)
                           .arg(SuiteSchemaVersion));
    return layout;
}

// Writes the backup's databases into the folder, each checked against its checksum, then
// every table's rows against the manifest: the files written.
Result<QStringList> unpack(const QString &path, const QString &folder, Console &console)
{
    QFile file(path);
    const Result<QJsonObject> manifest = readManifest(file);
    if (!manifest)
        return manifest.failure();
    QStringList files;
    for (const QJsonValue &entry : manifest->value(u"files"_s).toArray()) {
        const QJsonObject object = entry.toObject();
        const QString name = object.value(u"name"_s).toString();
        if (!suiteDatabase(name) || name.contains(u'/'))
            return Failure(0, path + u" names a database that is not the suite's: "_s + name);
        QFile out(QDir(folder).filePath(name));
        Checksum sum;
        if (!file.seek(qint64(object.value(u"offset"_s).toDouble()))
            || !out.open(QIODevice::WriteOnly)
            || !copyBytes(file, out, qint64(object.value(u"size"_s).toDouble()), sum))
            return Failure(0, path + u" is cut short in "_s + name);
        if (sum.text() != object.value(u"checksum"_s).toString())
            return Failure(
                0, path + u": "_s + name + u" is not what was backed up (its checksum differs)"_s);
        files << name;
    }
    ClubDb db;
    if (const Result<void> opened = db.openFiles(folder, files, Access::ReadOnly); !opened)
        return opened.failure();
    QJsonArray found;
    for (const QString &name : std::as_const(files)) {
        if (const Result<void> counted = countRows(db, name, found); !counted)
            return counted.failure();
    }
    if (found != manifest->value(u"tables"_s).toArray())
        return Failure(0, path + u": the databases do not hold the rows of the manifest"_s);
    console.line(u"The backup of "_s + manifest->value(u"created"_s).toString() + u" from "_s
                 + manifest->value(u"source"_s).toString() + u": "_s + QString::number(found.size())
                 + u" tables agree with its manifest"_s);
    return files;
}

} // namespace

namespace {

// The databases, as the connection's transaction sees them, written into the file after its
// first line: the manifest's entries of the files and of the tables, and where they end.
Result<qint64> storeDatabases(ClubDb &db, const QStringList &files, QFile &out, QJsonArray &entries,
                              QJsonArray &tables, Console &console)
{
    // Each database on a page of the file of its own, where it can be mapped to be read.
    const qint64 page = ::sysconf(_SC_PAGESIZE);
    qint64 end = Magic.size();
    for (const QString &file : files) {
        console.line(u"  "_s + file);
        const qint64 offset = (end + page - 1) / page * page;
        const Result<QJsonObject> entry = storeDatabase(db, file, out, offset);
        if (!entry)
            return entry.failure().context(file);
        if (const Result<void> counted = countRows(db, file, tables); !counted)
            return counted.failure();
        entries << *entry;
        end = offset + qint64(entry->value(u"size"_s).toDouble());
    }
    return end;
}

// Writes the backup of the files of the folder into its place, all of them one moment.
Result<void> writeBackup(const Folder &source, const QString &folder, const QStringList &files,
                         const QString &absolute, bool overwrite, Console &console)
{
    // One read transaction over every file: the backup is one moment of the club, while
    // workstations go on posting.
    ClubDb db;
    Result<void> read = db.openFiles(folder, files, Access::ReadOnly);
    if (read)
        read = db.exec(u"begin"_s);
    for (const QString &file : files) {
        if (read)
            read = db.exec(u"select count(*) from "_s + quotedName(schemaOf(file), false)
                           + u".sqlite_master"_s);
    }
    if (!read)
        return read.failure();
    // Written beside its name and renamed there when whole.
    QTemporaryFile out(QFileInfo(absolute).absolutePath() + u'/' + PartPrefix + u"XXXXXX"_s);
    if (!out.open() || out.write(Magic) != Magic.size() || !out.flush())
        return Failure(0, absolute + u": "_s + out.errorString());
    const int held = hold(out.fileName());
    QJsonArray entries, tables;
    const Result<qint64> end = storeDatabases(db, files, out, entries, tables, console);
    if (end)
        read = db.exec(u"commit"_s);
    if (!end || !read) {
        ::close(held);
        return end ? read.failure() : end.failure();
    }
    const QJsonObject manifest { { u"created"_s,
                                   QDateTime::currentDateTime().toString(Qt::ISODate) },
                                 { u"source"_s, source.where() },
                                 { u"schemaVersion"_s, source.layout },
                                 { u"files"_s, entries },
                                 { u"tables"_s, tables } };
    const QByteArray trailer = QByteArray::number(*end).rightJustified(TrailerSize - 1, '0') + '\n';
    const bool written = out.seek(*end)
        && out.write(QJsonDocument(manifest).toJson(QJsonDocument::Compact) + '\n') >= 0
        && out.write(trailer) == TrailerSize && out.flush()
        && out.setPermissions(filePermissionsIn(QFileInfo(absolute).absolutePath()))
        && ::fsync(out.handle()) == 0
        && ::renameat2(AT_FDCWD, QFile::encodeName(out.fileName()).constData(), AT_FDCWD,
                       QFile::encodeName(absolute).constData(), overwrite ? 0 : RENAME_NOREPLACE)
            == 0;
    const QString why
        = errno == EEXIST ? u"it is there already (--overwrite replaces it)"_s : qt_error_string();
    ::close(held);
    if (!written)
        return Failure(0, absolute + u": "_s + why);
    out.setAutoRemove(false);
    return {};
}

} // namespace

Result<void> backupClub(const Folder &source, const QString &path, bool overwrite, Console &console)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (!overwrite && QFileInfo::exists(absolute))
        return Failure(0, absolute + u" is there already (--overwrite replaces it)"_s);
    removeLeftovers(QFileInfo(absolute).absolutePath(), PartPrefix, console);
    QString folder = source.source.folder;
    Result<QStringList> files = Failure();
    std::optional<QTemporaryDir> work;
    int held = -1;
    if (source.source.onServer()) {
        work.emplace(QFileInfo(absolute).absolutePath() + u'/' + PartPrefix + u"XXXXXX"_s);
        if (!work->isValid())
            return Failure(0, u"cannot write beside "_s + absolute);
        folder = work->path();
        held = hold(folder);
        files = serverSnapshot(source, folder, console);
    } else {
        files = suiteDatabasesIn(source.source);
        if (files && files->isEmpty())
            files = Failure(0, source.where() + u" holds none of the suite's databases"_s);
    }
    Result<void> written = files ? Result<void>() : files.failure();
    if (written)
        written = writeBackup(source, folder, *files, absolute, overwrite, console);
    if (held >= 0)
        ::close(held);
    return written;
}

QString keyingByStaffTable(const DataSource &target)
{
    QStringList running;
    const Result<QStringList> present = suiteDatabasesIn(target);
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

Outcome commandBackup(const QString &folder, const QString &file, bool overwrite, Console &console)
{
    const Result<Folder> source = useFolder(folder, FolderLock::Use::Shared, u"backup"_s, console);
    if (!source)
        return failed(source.failure().fullText());
    if (const Result<void> saved = backupClub(*source, file, overwrite, console); !saved)
        return failed(saved.failure().fullText() + u"; no backup was written"_s);
    return {
        true,
        u"%1 backed up into %2 (%3 bytes)"_s.arg(source->where(), file).arg(QFileInfo(file).size())
    };
}

namespace {

// The backup's databases into the server's database, as one transaction.
Result<QStringList> restoreOnServer(const QString &file, const DataSource &target, int layout,
                                    Console &console)
{
    QTemporaryDir work;
    if (!work.isValid())
        return Failure(0, u"no room for the backup's databases: "_s + work.errorString());
    const Result<QStringList> files = unpack(file, work.path(), console);
    if (!files)
        return files;
    DataSource unpacked;
    unpacked.folder = work.path();
    const Result<std::unique_ptr<ClubSource>> reader = dataFolder(unpacked);
    if (!reader)
        return reader.failure();
    ClubTarget club(target);
    club.setLayout(layout);
    Report report;
    if (const Result<void> written = writeClub(**reader, club, true, console, report); !written)
        return written.failure();
    return files;
}

} // namespace

Outcome commandRestore(const QString &file, const QString &folder, bool force, Console &console)
{
    const auto refused = [](const Failure &failure) {
        return failed(failure.fullText() + u"; nothing was restored"_s);
    };
    const Result<Folder> target = useFolder(folder, FolderLock::Use::Alone, u"restore"_s, console);
    if (!target)
        return refused(target.failure());
    const QString keying = force ? QString() : keyingByStaffTable(target->source);
    if (!keying.isEmpty())
        return failed(keying
                      + u"; close Tallic there first (--force when it was stopped "
                        u"without closing), nothing was restored"_s);
    const Result<int> layout = backupLayout(file);
    if (!layout)
        return refused(layout.failure());
    Result<QStringList> files = QStringList();
    if (target->source.onServer()) {
        files = restoreOnServer(file, target->source, *layout, console);
    } else {
        ClubTarget club(target->source);
        Result<void> begun = club.begin(true, console);
        files = begun ? unpack(file, club.stagingFolder(), console) : begun.failure();
        for (const QString &name : files ? *files : QStringList())
            club.adopt(name);
        if (files)
            begun = club.commit();
        if (!begun)
            files = begun.failure();
    }
    if (!files)
        return refused(files.failure());
    return { true,
             u"%1 of %2 restored into %3"_s.arg(counted(files->size(), u"database"_s), file,
                                                target->where()) };
}

} // namespace tallic::club
