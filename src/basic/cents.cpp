#include "basic/cents.h"

#include "basic/numbers.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

// The masks round the value's decimal text of 15 significant digits, not the double: 1.005
// is held a hair below its half, and the office expects 1.01.
constexpr int Significant = 15;
// Added to computed charges before rounding.
constexpr double Nudge = 0.0005;

constexpr qint64 powerOfTen(int exponent)
{
    qint64 power = 1;
    for (int i = 0; i < exponent; ++i)
        power *= 10;
    return power;
}

// |value| in cents, rounded half up on its 15 significant digits.
qint64 roundedMagnitude(double magnitude)
{
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, magnitude,
                                       std::chars_format::scientific, Significant - 1);
    *written.ptr = '\0';
    // "d.dddddddddddddde±xx": the digits as one whole number, and the power of ten of its
    // last digit once counted in cents.
    qint64 digits = text[0] - '0';
    for (int i = 2; i <= Significant; ++i)
        digits = digits * 10 + (text[i] - '0');
    const int shift = std::atoi(text + Significant + 2) - (Significant - 1) + 2;
    if (shift >= 0)
        return shift > 3 ? Cents::Bound : digits * powerOfTen(shift);
    if (-shift > Significant)
        return 0;
    const qint64 divisor = powerOfTen(-shift);
    return digits / divisor + (digits % divisor * 2 >= divisor ? 1 : 0);
}

} // namespace

Cents Cents::of(double value)
{
    if (std::isnan(value) || value == 0)
        return Cents();
    const qint64 magnitude
        = std::isinf(value) ? Bound : std::min(roundedMagnitude(std::fabs(value)), Bound);
    return Cents(value < 0 ? -magnitude : magnitude);
}

Cents Cents::charge(double value)
{
    return of(value + Nudge);
}

Cents Cents::read(const QString &text)
{
    return of(Val(text));
}

QString Cents::text() const
{
    const qint64 magnitude = cents_ < 0 ? -cents_ : cents_;
    const qint64 whole = magnitude / 100;
    QString out = cents_ < 0 ? u"-"_s : QString();
    if (whole != 0)
        out += QString::number(whole);
    return out + u'.' + QString::number(magnitude % 100).rightJustified(2, u'0');
}

QString Cents::shortest() const
{
    QString out = text();
    while (out.endsWith(u'0'))
        out.chop(1);
    if (out.endsWith(u'.'))
        out.chop(1);
    if (out.startsWith(u"-."_s))
        out.insert(1, u'0');
    else if (out.startsWith(u'.') || out.isEmpty())
        out.prepend(u'0');
    return out;
}

} // namespace tallic
