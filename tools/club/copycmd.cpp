// tallic-club import-legacy and copy: a whole club into a new data folder.
#include "backup.h"
#include "commands.h"
#include "transfer.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

using namespace Qt::Literals::StringLiterals;

namespace tallic::club {

namespace {

const QString ReportFile = u"import-report.txt"_s;

// Writes the club and its report (with the data, never apart from it), in the source's
// layout: the verdict. An import makes the suite's databases that the source lacks empty.
Outcome transfer(ClubSource &source, const Folder &target, int layout, bool replace, Report &report,
                 Console &console, bool completed)
{
    ClubTarget club(target.source);
    club.setLayout(layout);
    QStringList made;
    Result<void> written = club.begin(replace, console);
    if (written)
        written = transferClub(source, club, console, report);
    for (const SuiteDatabase &definition : suiteDatabases()) {
        if (written && completed && !source.databases().contains(definition.file)) {
            written = addEmptyDatabase(club, definition.file, QDate::currentDate());
            made << definition.file;
        }
    }
    if (!made.isEmpty()) {
        report.warnings.removeIf([](const QString &w) { return w.contains(u" is not there: "_s); });
        report.warnings.prepend(u"made empty, with the suite's tables: "_s + made.join(u", "_s));
    }
    if (written) {
        club.setReport(report.text().toUtf8());
        written = club.commit();
    }
    if (!written)
        return failed(written.failure().fullText());
    for (const QString &warning : std::as_const(report.warnings))
        console.warn(warning);
    qint64 rows = 0;
    for (const TableReport &table : std::as_const(report.tables))
        rows += table.target.rows;
    QString verdict = u"%1, %2 into %3, each checked against its source (%4)"_s.arg(
        counted(report.tables.size(), u"table"_s), counted(rows, u"row"_s), target.where(),
        QDir(target.source.folder).filePath(ReportFile));
    if (!made.isEmpty())
        verdict += u"; made empty: "_s + made.join(u", "_s);
    if (!report.warnings.isEmpty())
        verdict += u"; "_s + counted(report.warnings.size(), u"warning"_s);
    return { true, verdict };
}

// The backup a copy makes of what it replaces: named by the second, and never one already
// there (two copies within a second, or a backup kept from an earlier one).
QString freshBackupName(const QString &folder)
{
    const QString stem
        = u"before-copy-"_s + QDateTime::currentDateTime().toString(u"yyyyMMdd-HHmmss"_s);
    QString name = stem + u".tallic-backup"_s;
    for (int n = 2; QFileInfo::exists(QDir(folder).filePath(name)); ++n)
        name = stem + u'-' + QString::number(n) + u".tallic-backup"_s;
    return QDir(folder).filePath(name);
}

} // namespace

Outcome commandImportLegacy(const QString &old, const QString &folder, Console &console)
{
    const Result<Folder> target
        = useFolder(folder, FolderLock::Use::Alone, u"import-legacy"_s, console);
    if (!target)
        return failed(target.failure().fullText());
    if (const QString held = holdsData(target->source); !held.isEmpty())
        return failed(held);
    const Result<std::unique_ptr<ClubSource>> source = jetFolder(old);
    if (!source)
        return failed(source.failure().fullText());
    Report report { u"Import of the Jet files in "_s + QDir(old).absolutePath() + u" into "_s
                        + target->where(),
                    {},
                    {} };
    return transfer(**source, *target, SuiteSchemaVersion, false, report, console, true);
}

Outcome commandCopy(const QString &from, const QString &to, bool replace, Console &console)
{
    if (dataFolderSource(from).identity() == dataFolderSource(to).identity())
        return failed(u"the club cannot be copied onto itself"_s);
    const Result<Folder> source = useFolder(from, FolderLock::Use::Shared, u"copy"_s, console);
    if (!source)
        return failed(source.failure().fullText());
    const Result<Folder> target = useFolder(to, FolderLock::Use::Alone, u"copy"_s, console);
    if (!target)
        return failed(target.failure().fullText());
    const QString held = holdsData(target->source);
    if (!held.isEmpty() && !replace)
        return failed(held + u" (--replace replaces it, after a backup)"_s);
    if (!held.isEmpty()) {
        const QString saved = freshBackupName(target->source.folder);
        console.line(u"A backup of what "_s + target->where() + u" holds: "_s + saved);
        if (const Result<void> backup = backupClub(*target, saved, false, console); !backup)
            return failed(backup.failure()
                              .context(u"the backup of the target failed, nothing was copied"_s)
                              .fullText());
    }
    const Result<std::unique_ptr<ClubSource>> reader = dataFolder(source->source);
    if (!reader)
        return failed(reader.failure().fullText());
    Report report { u"Copy of "_s + source->where() + u" into "_s + target->where(), {}, {} };
    return transfer(**reader, *target, source->layout, replace, report, console, false);
}

} // namespace tallic::club
