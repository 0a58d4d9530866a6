#pragma once

#include <QString>

#include <compare>

namespace tallic {

// An amount of money as a whole number of cents. Amounts are computed, added, compared and
// checked as Cents, never as doubles: a stored amount is then the double nearest its cents
// (12.51, not 12.510000000000002), and a sum over thousands of rows is exact.
class Cents
{
public:
    // The most cents an amount is held to: every count up to it is a double of its own.
    static constexpr qint64 Bound = qint64(1) << 53;

    constexpr Cents() = default;
    static constexpr Cents fromCount(qint64 cents) { return Cents(cents); }

    // The value rounded to the cent as the number masks round it: half away from zero, on
    // the value's 15-digit decimal text, so 1.005 and 2.675 go up as written on paper. Not
    // a number is 0; beyond about 90 trillion the amount is held at that bound.
    static Cents of(double value);
    // A charge computed from rates: 0.0005 is added before rounding, so that a charge
    // leans up at the half cent.
    static Cents charge(double value);
    // The amount a field's text begins with (Val), rounded to the cent.
    static Cents read(const QString &text);

    constexpr qint64 count() const { return cents_; }
    // The double nearest the amount, as the columns hold it.
    double toDouble() const { return double(cents_) / 100; }
    // As the mask "#######.#0" writes it: "12.50", ".50", "-1234567.89".
    QString text() const;
    // Without the zeros at the end: "12.5", "-0.01", "0".
    QString shortest() const;

    constexpr Cents abs() const { return Cents(cents_ < 0 ? -cents_ : cents_); }
    constexpr Cents operator-() const { return Cents(-cents_); }
    constexpr Cents &operator+=(Cents other)
    {
        cents_ += other.cents_;
        return *this;
    }
    constexpr Cents &operator-=(Cents other)
    {
        cents_ -= other.cents_;
        return *this;
    }
    friend constexpr Cents operator+(Cents a, Cents b) { return a += b; }
    friend constexpr Cents operator-(Cents a, Cents b) { return a -= b; }
    friend constexpr Cents operator*(Cents a, qint64 times) { return Cents(a.cents_ * times); }
    friend constexpr auto operator<=>(Cents, Cents) = default;

private:
    constexpr explicit Cents(qint64 cents)
        : cents_(cents)
    {
    }

    qint64 cents_ = 0;
};

} // namespace tallic
