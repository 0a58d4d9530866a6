#pragma once

#include <QChar>

namespace tallic {

// The two 8-bit code pages of Alt+keypad typing: the Western Windows code page (1252),
// in which a character counts as extended from code 128 on, and its DOS (OEM) counterpart
// (850), whose code the keypad digits type. Both agree with ASCII below 128.

// The character's code, -1 when the code page has none.
int westernCode(QChar c);
int oemCode(QChar c);
// The character of a code (0 to 255), a null QChar when there is none.
QChar fromWesternCode(int code);
QChar fromOemCode(int code);

} // namespace tallic
