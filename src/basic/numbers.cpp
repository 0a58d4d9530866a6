#include "numbers.h"

#include <cmath>
#include <limits>

namespace tallic {

double Val(const QString &text)
{
    QString number;
    bool point = false;
    bool digits = false;
    for (const QChar c : text) {
        // Only blanks, tabs and line feeds are skipped; a carriage return ends the number.
        if (c == u' ' || c == u'\t' || c == u'\n')
            continue;
        if ((c == u'-' || c == u'+') && number.isEmpty()) {
            number += c;
        } else if (c.isDigit() && c.unicode() < 128) {
            number += c;
            digits = true;
        } else if (c == u'.' && !point) {
            number += c;
            point = true;
        } else {
            break;
        }
    }
    return digits ? number.toDouble() : 0.0;
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
