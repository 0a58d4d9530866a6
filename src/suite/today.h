#pragma once

#include <QDate>
#include <QString>

namespace tallic {

// Sets TodayText (mm-dd-yyyy) and TodayNumber (yyyymmdd) from the system date.
void SetToday();

// Expands a function-key macro in MsgText, which holds the key code of the pressed
// function key: F1-F4 and F6-F12 become their FunctionKeyText entry (F5 is left as its
// code). A text that reads "=TODAY()" in any case then becomes today's date as yyyymmdd.
void ExpandMacro();

// A date as mm-dd-yyyy, and as the number yyyymmdd.
QString dateText(const QDate &date);
qint32 dateNumber(const QDate &date);

// The FunctionKeyText entry a key code stands for (112 = F1 ... 123 = F12); 0 for F5 and
// for anything that is not a function key's code.
int functionKeyEntry(const QString &keyCode);

} // namespace tallic
