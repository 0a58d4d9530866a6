#pragma once

#include "clubdb.h"

#include "suite/configuration.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariantList>

namespace tallic::club {

// The first row of a configuration table: its column names and values.
struct ConfigRow
{
    QStringList names;
    QVariantList values;
    bool present = false;
};

// The rows of every table a setting lies in, by table name.
bool readConfigRows(ClubDb &club, QHash<QString, ConfigRow> &rows, QString &problem);
// The column of the row where the setting lies; -1 with the reason when it is not there.
int settingColumn(const Setting &setting, const ConfigRow &row, QString &problem);

} // namespace tallic::club
