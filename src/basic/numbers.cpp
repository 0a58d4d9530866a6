#include "numbers.h"

#include <QVarLengthArray>

#include <charconv>
#include <cmath>
#include <limits>

namespace tallic {

double Val(const QString &text)
{
    // Every key and every stored chit reads numbers: the characters are gathered on the
    // stack, not into a string.
    QVarLengthArray<char, 64> number;
    bool point = false;
    bool digits = false;
    bool signRead = false;
    for (const QChar c : text) {
        // Only blanks, tabs and line feeds are skipped; a carriage return ends the number.
        if (c == u' ' || c == u'\t' || c == u'\n')
            continue;
        if ((c == u'-' || c == u'+') && !signRead && number.isEmpty()) {
            signRead = true;
            // The parser below takes a minus only; a plus changes nothing.
            if (c == u'-')
                number.append('-');
        } else if (c.isDigit() && c.unicode() < 128) {
            number.append(char(c.unicode()));
            digits = true;
        } else if (c == u'.' && !point) {
            number.append('.');
            point = true;
        } else {
            break;
        }
    }
    if (!digits)
        return 0.0;
    double value = 0;
    const char *end = number.data() + number.size();
    if (std::from_chars(number.data(), end, value).ec == std::errc())
        return value;
    // Beyond a double's range: as Qt reads it.
    return QString::fromLatin1(number.data(), number.size()).toDouble();
}

namespace {

template<typename Whole> std::optional<Whole> convertTo(double value)
{
    // The default rounding of the floating-point unit takes a half to the even neighbour.
    const double rounded = std::nearbyint(value);
    if (!std::isfinite(rounded) || rounded > std::numeric_limits<Whole>::max()
        || rounded < std::numeric_limits<Whole>::min())
        return std::nullopt;
    return Whole(rounded);
}

} // namespace

qint32 toLong(double value)
{
    return convertTo<qint32>(value).value_or(0);
}

std::optional<qint16> convertToInteger(double value)
{
    return convertTo<qint16>(value);
}

std::optional<qint32> convertToLong(double value)
{
    return convertTo<qint32>(value);
}

} // namespace tallic
