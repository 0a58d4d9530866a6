#pragma once

#include <QString>

#include <optional>

namespace tallic {

// The number a text begins with, as the screens read their fields: blanks, tabs and line
// feeds anywhere are skipped, then an optional sign, digits and one decimal point; reading
// stops at the first other character. 0 when the text does not begin with a number.
double Val(const QString &text);

// A whole number in the 32-bit range, 0 for anything outside it.
qint32 toLong(double value);

// The suite language's conversions to its Integer (16-bit) and Long (32-bit) types: the
// nearest whole number, a half going to the even neighbour (7.6 is 8, 2.5 is 2); nothing
// for a value outside the type's range, which the language reports as an overflow.
std::optional<qint16> convertToInteger(double value);
std::optional<qint32> convertToLong(double value);

} // namespace tallic
