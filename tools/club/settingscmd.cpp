// tallic-club settings: the configuration by name.
#include "commands.h"
#include "configrows.h"

#include "suite/configuration.h"

#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

using namespace Qt::Literals::StringLiterals;

namespace tallic::club {

namespace {

const QString Config = u"config.mdb"_s;

} // namespace

bool readConfigRows(ClubDb &club, QHash<QString, ConfigRow> &rows, QString &problem)
{
    for (const Setting &setting : configurationSettings()) {
        if (rows.contains(setting.table))
            continue;
        QSqlQuery query(club.db());
        if (!query.exec(u"select * from "_s + club.table(Config, setting.table))) {
            problem = u"the configuration table "_s + setting.table + u" cannot be read: "_s
                + query.lastError().text();
            return false;
        }
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
    return true;
}

int settingColumn(const Setting &setting, const ConfigRow &row, QString &problem)
{
    if (!row.present) {
        problem = u"the configuration table "_s + setting.table
            + u" has no row (tallic-club check tells more)"_s;
        return -1;
    }
    if (setting.position >= 0) {
        if (setting.position < row.names.size())
            return setting.position;
        problem = u"the configuration table %1 has %2 columns; %3 is its column %4"_s.arg(
            setting.table, QString::number(row.names.size()), setting.name,
            QString::number(setting.position + 1));
        return -1;
    }
    for (int i = 0; i < row.names.size(); ++i) {
        if (row.names.at(i).compare(setting.column, Qt::CaseInsensitive) == 0)
            return i;
    }
    problem = u"the configuration table %1 has no column %2"_s.arg(setting.table, setting.column);
    return -1;
}

namespace {

bool openConfig(const QString &folder, ClubDb &club, QString &problem)
{
    const DataSource source = dataFolderSource(folder);
    if (!source.problem.isEmpty()) {
        problem = source.problem;
        return false;
    }
    return source.onServer()
        ? club.openServer(source, problem)
        : club.openFiles(source.folder, { Config }, Access::ReadWrite, problem);
}

} // namespace

Outcome commandSettings(const QString &folder, const QStringList &assignments, Console &console)
{
    // Every assignment is read before anything is opened: a typing error costs nothing.
    QStringList refused;
    QList<std::pair<const Setting *, QString>> wanted;
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
    if (!refused.isEmpty()) {
        QStringList names;
        for (const Setting &setting : configurationSettings())
            names << setting.name;
        for (const QString &line : std::as_const(refused))
            console.line(line);
        console.line(u"The settings: "_s + names.join(u", "_s));
        return failed(refused.first() + u"; nothing changed"_s);
    }

    ClubDb club;
    QString problem;
    QHash<QString, ConfigRow> rows;
    if (!openConfig(folder, club, problem) || !readConfigRows(club, rows, problem))
        return failed(problem);

    if (wanted.isEmpty()) {
        for (const Setting &setting : configurationSettings()) {
            const ConfigRow &row = rows[setting.table];
            const int column = settingColumn(setting, row, problem);
            const QString value
                = column < 0 ? u"(not there)"_s : settingText(setting, row.values.at(column));
            console.line(u"%1 = %2"_s.arg(setting.name, value).leftJustified(40) + u"  "_s
                         + setting.caption);
        }
        return { problem.isEmpty(),
                 problem.isEmpty()
                     ? u"%1 settings of %2"_s.arg(configurationSettings().size()).arg(folder)
                     : problem };
    }

    for (const auto &[setting, text] : wanted) {
        ConfigRow &row = rows[setting->table];
        const int column = settingColumn(*setting, row, problem);
        if (column < 0) {
            refused << setting->name + u": "_s + problem;
            continue;
        }
        QString reason;
        const QVariant value = settingValue(*setting, text, row.values.at(column), reason);
        if (!value.isValid())
            refused << u"%1=%2: %3 is %4"_s.arg(setting->name, text, setting->caption, reason);
        else
            row.values[column] = value;
    }
    if (!refused.isEmpty()) {
        for (const QString &line : std::as_const(refused))
            console.line(line);
        return failed(refused.first() + u"; nothing changed"_s);
    }

    if (!club.exec(u"begin"_s, problem))
        return failed(problem);
    for (const auto &[setting, text] : wanted) {
        const ConfigRow &row = rows[setting->table];
        const int column = settingColumn(*setting, row, problem);
        QSqlQuery update(club.db());
        const QString sql = u"update "_s + club.table(Config, setting->table) + u" set "_s
            + club.column(row.names.at(column)) + u" = ?"_s;
        update.prepare(sql);
        update.addBindValue(row.values.at(column));
        if (!update.exec()) {
            club.exec(u"rollback"_s, problem);
            return failed(setting->name + u": "_s + update.lastError().text()
                          + u"; nothing changed"_s);
        }
        console.line(u"%1 = %2"_s.arg(setting->name, settingText(*setting, row.values.at(column))));
    }
    if (!club.exec(u"commit"_s, problem))
        return failed(problem);
    return { true, u"%1 settings changed"_s.arg(wanted.size()) };
}

} // namespace tallic::club
