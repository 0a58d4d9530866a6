#include "masks.h"

#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

// The office keys amounts in decimal, but 1.005 or 2.675 have no exact double and sit a
// hair below their half. Rounding the value's 15-digit decimal text instead of the double
// gives the result the operator expects on paper.
constexpr int Significant = 15;

// A magnitude written out in digits, without exponent: integer digits (no leading zeros,
// empty for zero) and fraction digits.
struct Digits
{
    QString whole;
    QString fraction;
};

// Decimal exponent of |value| once written with 15 significant digits.
int decimalExponent(const QString &scientific)
{
    return scientific.mid(scientific.indexOf(u'e') + 1).toInt();
}

Digits positional(double magnitude)
{
    const QString scientific = QString::number(magnitude, 'e', Significant - 1);
    QString mantissa = scientific.left(scientific.indexOf(u'e'));
    mantissa.remove(u'.');
    const int exponent = decimalExponent(scientific);

    Digits d;
    if (exponent >= 0) {
        if (exponent + 1 >= mantissa.size()) {
            d.whole = mantissa + QString(exponent + 1 - mantissa.size(), u'0');
        } else {
            d.whole = mantissa.left(exponent + 1);
            d.fraction = mantissa.mid(exponent + 1);
        }
    } else {
        d.fraction = QString(-exponent - 1, u'0') + mantissa;
    }
    while (d.whole.startsWith(u'0'))
        d.whole.remove(0, 1);
    return d;
}

// Rounds half away from zero to exactly `decimals` fraction digits.
Digits roundTo(Digits d, int decimals)
{
    if (d.fraction.size() <= decimals) {
        d.fraction += QString(decimals - d.fraction.size(), u'0');
        return d;
    }
    const bool up = d.fraction.at(decimals) >= u'5';
    QString all = d.whole + d.fraction.left(decimals);
    if (up) {
        qsizetype i = all.size() - 1;
        while (i >= 0 && all.at(i) == u'9') {
            all[i] = u'0';
            --i;
        }
        if (i < 0)
            all.prepend(u'1');
        else
            all[i] = QChar(all.at(i).unicode() + 1);
    }
    d.whole = all.left(all.size() - decimals);
    d.fraction = all.right(decimals);
    while (d.whole.startsWith(u'0'))
        d.whole.remove(0, 1);
    return d;
}

bool isZero(const Digits &d)
{
    const auto zero = [](const QString &s) {
        for (const QChar c : s) {
            if (c != u'0')
                return false;
        }
        return true;
    };
    return zero(d.whole) && zero(d.fraction);
}

QString grouped(const QString &whole)
{
    QString out;
    for (qsizetype i = 0; i < whole.size(); ++i) {
        if (i > 0 && (whole.size() - i) % 3 == 0)
            out += u',';
        out += whole.at(i);
    }
    return out;
}

} // namespace

QString formatMask(double value, const QString &mask)
{
    if (!std::isfinite(value))
        return QString::number(value);

    const qsizetype point = mask.indexOf(u'.');
    const QString integerMask = point < 0 ? mask : mask.left(point);
    int decimals = 0;
    if (point >= 0) {
        for (const QChar c : mask.mid(point + 1)) {
            if (c == u'#' || c == u'0')
                ++decimals;
        }
    }

    Digits d = roundTo(positional(std::fabs(value)), decimals);
    // A value that rounds to nothing is written as plain zero, never "-.00".
    const bool negative = value < 0 && !isZero(d);
    const qsizetype minimumWhole = integerMask.count(u'0');
    if (d.whole.size() < minimumWhole)
        d.whole.prepend(QString(minimumWhole - d.whole.size(), u'0'));

    QString text = negative ? u"-"_s : QString();
    text += integerMask.contains(u',') ? grouped(d.whole) : d.whole;
    if (point >= 0)
        text += u'.' + d.fraction;
    return text;
}

QString shortestNumber(double value)
{
    if (!std::isfinite(value))
        return QString::number(value);
    if (value == 0)
        return u"0"_s;

    // Plain digits for anything an amount, account or date can be; only far-off
    // magnitudes take an exponent, which the database engine reads just as well.
    const int exponent = decimalExponent(QString::number(std::fabs(value), 'e', Significant - 1));
    if (exponent >= Significant || exponent < -7)
        return QString::number(value, 'g', Significant);

    Digits d = positional(std::fabs(value));
    while (d.fraction.endsWith(u'0'))
        d.fraction.chop(1);
    QString text = value < 0 ? u"-"_s : QString();
    text += d.whole.isEmpty() ? u"0"_s : d.whole;
    if (!d.fraction.isEmpty())
        text += u'.' + d.fraction;
    return text;
}

} // namespace tallic
