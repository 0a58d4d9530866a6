#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include "basic/result.h"

#include <utility>

namespace tallic {

// The club's settings in the configuration database (config.mdb) by the names an office
// uses, and where the program reads each: a position of a table's one row, or a column the
// program names.
struct Setting
{
    enum class Kind {
        Whole, // a whole number between low and high
        Account, // a G/L account number; empty leaves it unset
        Rate, // a fraction from 0 to 1
        Choice, // one of the choices, in upper case
        YesNo, // Y or N
        CheckOn, // Y or N: the field is validated (one digit of the skip flags, 0 = on)
        Text,
    };

    QString name;
    QString caption;
    QString table;
    int position = -1; // in the row as "select * from table" gives it
    QString column; // or the column the program names
    Kind kind = Kind::Text;
    int low = 0, high = 0;
    QStringList choices;
    int digit = 0; // CheckOn: which digit of the flags, from 0
};

const QList<Setting> &configurationSettings();
const Setting *findSetting(const QString &name);

// The value to store for the text given, checked as start-up reads it; the reason when
// start-up would not take it. flags is the stored value of a CheckOn setting's column, of
// which one digit changes.
Result<QVariant> settingValue(const Setting &setting, const QString &text, const QVariant &flags);
// The stored value as the office writes it.
QString settingText(const Setting &setting, const QVariant &stored);

// A new club's configuration rows, table by table, each by position: the A/R month and
// year of today, everything else safe and off, the A/R and current-profit accounts unset.
QList<std::pair<QString, QVariantList>> configurationDefaults(const QDate &today);

} // namespace tallic
