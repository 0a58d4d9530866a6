#pragma once

#include <QString>

namespace tallic {

// The number a text begins with, as the screens read their fields: blanks, tabs and line
// feeds anywhere are skipped, then an optional sign, digits and one decimal point; reading
// stops at the first other character. 0 when the text does not begin with a number.
double Val(const QString &text);

// A whole number in the 32-bit range, 0 for anything outside it.
qint32 toLong(double value);

} // namespace tallic
