#pragma once

#include <optional>

namespace tallic {

class Form;
struct ArSettings;
struct KeyedChit;

// An account's service-charge and tax rates.
struct AccountRates
{
    double serviceCharge = 0;
    double tax = 0;
};

// The base sale: service charge, tax and total, and the questions about a negative amount.
class ChitAmounts
{
public:
    ChitAmounts(Form &window, const ArSettings &settings, const KeyedChit &keyed);

    // Enter or "+" in the base sale: the amounts, and the focus moves on to the memo or OK.
    void computeAndMoveOn();
    // Enter or "+" computed the amounts already; leaving by Tab or the mouse computes them
    // here, once, and leaves the focus where the operator sent it.
    void leave();
    void entered() { done_ = false; }

private:
    // Service charge and tax from the account's rates (false when the account has no
    // rates row), then the base sale's form, the total and the questions.
    bool compute(bool moveOn);
    // The rates of the chit's account (ar0); none when the account has no row (told) or
    // the database failed (reported).
    std::optional<AccountRates> accountRates(bool moveOn);
    // A payment, credit or adjustment made negative, unless the operator charges.
    void signBase();
    void complete();

    Form &window_;
    const ArSettings &settings_;
    const KeyedChit &keyed_;
    bool done_ = false; // Enter or "+" computed the base sale already
};

} // namespace tallic
