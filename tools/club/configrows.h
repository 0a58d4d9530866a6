#pragma once

#include "clubdb.h"

#include "store/configuration.h"

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

using ConfigRows = QHash<QString, ConfigRow>;

// The rows of every table a setting lies in, by table name.
Result<ConfigRows> readConfigRows(ClubDb &club);
// The column of the row where the setting lies; the reason when it is not there.
Result<int> settingColumn(const Setting &setting, const ConfigRow &row);

} // namespace tallic::club
