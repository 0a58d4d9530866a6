#pragma once

#include <QDate>
#include <QString>

#include <array>

namespace tallic {

// The system date as mm-dd-yyyy (TodayText) and as the number yyyymmdd (TodayNumber).
struct Today
{
    QString TodayText;
    qint32 TodayNumber = 0;
};
Today SetToday();

// The memo texts of the function keys F1 to F12, entries 1 to 12.
using FunctionKeyTexts = std::array<QString, 13>;

// Expands a function-key macro: the key code of the pressed function key (F1-F4 and F6-F12)
// becomes its entry of the texts (F5 is left as its code). A text that reads "=TODAY()" in
// any case then becomes today's date as yyyymmdd.
QString ExpandMacro(const QString &keyCode, const FunctionKeyTexts &texts);

// A date as mm-dd-yyyy, and as the number yyyymmdd.
QString dateText(const QDate &date);
qint32 dateNumber(const QDate &date);

// The FunctionKeyText entry a key code stands for (112 = F1 ... 123 = F12); 0 for F5 and
// for anything that is not a function key's code.
int functionKeyEntry(const QString &keyCode);

} // namespace tallic
