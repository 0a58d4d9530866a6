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

qint32 toLong(double value)
{
    const double rounded = std::nearbyint(value);
    if (!std::isfinite(rounded) || rounded > std::numeric_limits<qint32>::max()
        || rounded < std::numeric_limits<qint32>::min())
        return 0;
    return qint32(rounded);
}

} // namespace tallic
