// tallic-club settings: the configuration by name.
#include "commands.h"
#include "configrows.h"

#include "store/configuration.h"

#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

using namespace Qt::Literals::StringLiterals;

namespace tallic::club {

namespace {

const QString Config = u"config.mdb"_s;

} // namespace

Result<ConfigRows> readConfigRows(ClubDb &club)
{
    ConfigRows rows;
    for (const Setting &setting : configurationSettings()) {
        if (rows.contains(setting.table))
            continue;
        QSqlQuery query(club.db());
        if (!query.exec(u"select * from "_s + club.table(Config, setting.table)))
            return Failure(0,
                           u"the configuration table "_s + setting.table + u" cannot be read: "_s
                               + query.lastError().text());
        ConfigRow row;
        const QSqlRecord record = query.record();
        for (int i = 0; i < record.count(); ++i)
            row.names << record.fieldName(i);
        if (query.next()) {
            row.present = true;
            for (int i = 0; i < record.count(); ++i)
                row.values << query.value(i);
        }
        rows.insert(setting.table, row);
    }
    return rows;
}

Result<int> settingColumn(const Setting &setting, const ConfigRow &row)
{
    if (!row.present)
        return Failure(0,
                       u"the configuration table "_s + setting.table
                           + u" has no row (tallic-club check tells more)"_s);
    if (setting.position >= 0) {
        if (setting.position < row.names.size())
            return setting.position;
        return Failure(0,
                       u"the configuration table %1 has %2 columns; %3 is its column %4"_s.arg(
                           setting.table, QString::number(row.names.size()), setting.name,
                           QString::number(setting.position + 1)));
    }
    for (int i = 0; i < row.names.size(); ++i) {
        if (row.names.at(i).compare(setting.column, Qt::CaseInsensitive) == 0)
            return i;
    }
    return Failure(
        0, u"the configuration table %1 has no column %2"_s.arg(setting.table, setting.column));
}

namespace {

using Wanted = QList<std::pair<const Setting *, QString>>;

// The settings asked for by NAME=VALUE; each that names none goes to refused.
Wanted readAssignments(const QStringList &assignments, QStringList &refused)
{
    Wanted wanted;
    for (const QString &assignment : assignments) {
        const qsizetype equals = assignment.indexOf(u'=');
        const Setting *setting
            = equals > 0 ? findSetting(assignment.left(equals).trimmed()) : nullptr;
        if (equals <= 0)
            refused << assignment + u": not NAME=VALUE"_s;
        else if (!setting)
            refused << assignment.left(equals) + u": no such setting"_s;
        else
            wanted.append({ setting, assignment.mid(equals + 1) });
    }
    return wanted;
}

Outcome listSettings(ConfigRows &rows, const QString &folder, Console &console)
{
    // The verdict names the last setting that is not there.
    QString problem;
    for (const Setting &setting : configurationSettings()) {
        const ConfigRow &row = rows[setting.table];
        const Result<int> column = settingColumn(setting, row);
        if (!column)
            problem = column.failure().fullText();
        const QString value
            = column ? settingText(setting, row.values.at(*column)) : u"(not there)"_s;
        console.line(u"%1 = %2"_s.arg(setting.name, value).leftJustified(40) + u"  "_s
                     + setting.caption);
    }
    return { problem.isEmpty(),
             problem.isEmpty()
                 ? u"%1 of %2"_s.arg(counted(configurationSettings().size(), u"setting"_s), folder)
                 : problem };
}

// Every value wanted, checked as Tallic reads it, into the rows; each refused to refused.
void checkValues(const Wanted &wanted, ConfigRows &rows, QStringList &refused)
{
    for (const auto &[setting, text] : wanted) {
        ConfigRow &row = rows[setting->table];
        const Result<int> column = settingColumn(*setting, row);
        if (!column) {
            refused << setting->name + u": "_s + column.failure().fullText();
            continue;
        }
        const Result<QVariant> value = settingValue(*setting, text, row.values.at(*column));
        if (!value)
            refused << u"%1=%2: %3 is %4"_s.arg(setting->name, text, setting->caption,
                                                value.failure().fullText());
        else
            row.values[*column] = *value;
    }
}

Outcome storeSettings(ClubDb &club, const Wanted &wanted, const ConfigRows &rows, Console &console)
{
    if (const Result<void> begun = club.exec(u"begin"_s); !begun)
        return failed(begun.failure().fullText());
    for (const auto &[setting, text] : wanted) {
        const ConfigRow &row = rows[setting->table];
        // Found by checkValues() for every setting wanted.
        const int column = *settingColumn(*setting, row);
        QSqlQuery update(club.db());
        update.prepare(u"update "_s + club.table(Config, setting->table) + u" set "_s
                       + club.column(row.names.at(column)) + u" = ?"_s);
        update.addBindValue(row.values.at(column));
        if (!update.exec()) {
            (void)club.exec(u"rollback"_s);
            return failed(setting->name + u": "_s + update.lastError().text()
                          + u"; nothing changed"_s);
        }
        console.line(u"%1 = %2"_s.arg(setting->name, settingText(*setting, row.values.at(column))));
    }
    if (const Result<void> committed = club.exec(u"commit"_s); !committed)
        return failed(committed.failure().fullText());
    return { true, counted(wanted.size(), u"setting"_s) + u" changed"_s };
}

} // namespace

Outcome commandSettings(const QString &folder, const QStringList &assignments, Console &console)
{
    QStringList refused;
    const Wanted wanted = readAssignments(assignments, refused);
    const Result<Folder> used = useFolder(folder, FolderLock::Use::Shared, u"settings"_s, console);
    if (!used)
        return failed(used.failure().fullText());
    ClubDb club;
    const Result<void> opened = used->source.onServer()
        ? club.openServer(used->source)
        : club.openFiles(used->source.folder, { Config }, Access::ReadWrite);
    if (!opened)
        return failed(opened.failure().fullText());
    Result<ConfigRows> read = readConfigRows(club);
    if (!read)
        return failed(read.failure().fullText());
    if (assignments.isEmpty())
        return listSettings(*read, folder, console);
    // Every value is checked before anything changes, and every one refused is told.
    const bool unknown = !refused.isEmpty();
    checkValues(wanted, *read, refused);
    if (refused.isEmpty())
        return storeSettings(club, wanted, *read, console);
    for (const QString &line : std::as_const(refused))
        console.line(line);
    if (unknown) {
        QStringList names;
        for (const Setting &setting : configurationSettings())
            names << setting.name;
        console.line(u"The settings: "_s + names.join(u", "_s));
    }
    return failed(refused.size() == 1 ? refused.first() + u"; nothing changed"_s
                                      : counted(refused.size(), u"value"_s)
                          + u" refused (each above); nothing changed"_s);
}

} // namespace tallic::club
