// tallic-club import-legacy and copy: a whole club into a new data folder.
#include "backup.h"
#include "commands.h"
#include "transfer.h"

#include <QDateTime>
#include <QDir>
#include <QSaveFile>

using namespace Qt::Literals::StringLiterals;

namespace tallic::club {

namespace {

const QString ReportFile = u"import-report.txt"_s;

QString where(const DataSource &source)
{
    return source.onServer() ? u"the server's database "_s + source.database : source.folder;
}

// The report beside the data, where the office finds it.
Result<void> writeReport(const DataSource &target, const Report &report)
{
    QDir().mkpath(target.folder);
    QSaveFile file(QDir(target.folder).filePath(ReportFile));
    if (!file.open(QIODevice::WriteOnly) || file.write(report.text().toUtf8()) < 0
        || !file.commit())
        return Failure(0,
                       u"the data is written, but its report cannot be: "_s + file.errorString());
    return {};
}

Outcome transfer(ClubSource &source, const DataSource &target, bool replace, Report &report,
                 Console &console)
{
    ClubTarget club(target);
    if (const Result<void> written = writeClub(source, club, replace, console, report); !written)
        return failed(written.failure().description);
    for (const QString &warning : std::as_const(report.warnings))
        console.warn(warning);
    if (const Result<void> reported = writeReport(target, report); !reported)
        return failed(reported.failure().description);
    qint64 rows = 0;
    for (const TableReport &table : std::as_const(report.tables))
        rows += table.target.rows;
    QString verdict = u"%1 tables, %2 rows into %3, each checked against its source (%4)"_s.arg(
        QString::number(report.tables.size()), QString::number(rows), where(target),
        QDir(target.folder).filePath(ReportFile));
    if (!report.warnings.isEmpty())
        verdict += u"; %1 warnings"_s.arg(report.warnings.size());
    return { true, verdict };
}

} // namespace

Outcome commandImportLegacy(const QString &old, const QString &folder, Console &console)
{
    const DataSource target = dataFolderSource(folder);
    if (!target.problem.isEmpty())
        return failed(target.problem);
    if (const QString held = holdsData(target); !held.isEmpty())
        return failed(held);
    const Result<std::unique_ptr<ClubSource>> source = jetFolder(old);
    if (!source)
        return failed(source.failure().description);
    Report report { u"Import of the Jet files in "_s + QDir(old).absolutePath() + u" into "_s
                        + where(target),
                    {},
                    {} };
    return transfer(**source, target, false, report, console);
}

Outcome commandCopy(const QString &from, const QString &to, bool replace, Console &console)
{
    const DataSource source = dataFolderSource(from);
    const DataSource target = dataFolderSource(to);
    for (const DataSource *folder : { &source, &target }) {
        if (!folder->problem.isEmpty())
            return failed(folder->problem);
    }
    if (source.identity() == target.identity())
        return failed(u"the club cannot be copied onto itself"_s);
    const QString held = holdsData(target);
    if (!held.isEmpty() && !replace)
        return failed(held + u" (--replace replaces it, after a backup)"_s);
    if (!held.isEmpty()) {
        const QString saved
            = QDir(target.folder)
                  .filePath(u"before-copy-"_s
                            + QDateTime::currentDateTime().toString(u"yyyyMMdd-HHmmss"_s)
                            + u".tallic-backup"_s);
        console.line(u"A backup of what "_s + where(target) + u" holds: "_s + saved);
        if (const Result<void> backup = backupClub(target, saved, console); !backup)
            return failed(u"the backup of the target failed, nothing was copied: "_s
                          + backup.failure().description);
    }
    const Result<std::unique_ptr<ClubSource>> reader = dataFolder(source);
    if (!reader)
        return failed(reader.failure().description);
    Report report { u"Copy of "_s + where(source) + u" into "_s + where(target), {}, {} };
    return transfer(**reader, target, replace, report, console);
}

} // namespace tallic::club
