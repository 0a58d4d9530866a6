#pragma once

#include "basic/cents.h"
#include "basic/postingrules.h"

#include <QString>

namespace tallic::workspace {

// A chit's amounts as ardaily holds them, to the cent.
struct Amounts
{
    Cents base;
    Cents serviceCharge;
    Cents tax;
    Cents total;
};

enum class AmountColumn { Base, ServiceCharge, Tax };

// What a correction is decided from besides the amount typed: the chit as read, its
// account's rates, the member's record as it is now and the club's settings.
struct CorrectionBasis
{
    QString chitNumber;
    Amounts stored;
    double scRate = 0;
    double taxRate = 0;
    ChargeSettings settings;
    bool exempt = false;
    bool terminated = false;
    bool adjustmentCharges = false; // an adjustment the operator says charges the account
};

struct Correction
{
    enum class Verdict {
        Accepted,
        BaseMissing, // a base sale of 0
        TerminatedDebit, // a total above 0 for a terminated member
        ChargesComputed, // service charge and tax follow from the base sale
        NoAccountRates, // the chit's account is not in ar0
        Unreadable, // the rates or the member cannot be read
    };
    Verdict verdict = Verdict::Accepted;
    Amounts amounts;
    // A charge the chit was posted without, where its rate would have given one: the
    // correction keeps it off, as the bypass was when the chit was keyed.
    bool scBypassKept = false;
    bool taxBypassKept = false;
};

// Whether the service charge and tax of the chit are corrected by hand: only while chits are
// consolidated, when nothing computes them, and never on a payment, which carries neither.
bool chargesKeyedByHand(const ChargeSettings &settings, const QString &chitNumber);

// A correction of one amount as posting would have taken the chit: the base sale signed as
// the chit's kind says, the service charge and the tax computed again from it, and the
// total their sum.
Correction correctAmount(const CorrectionBasis &basis, AmountColumn column, Cents typed);

} // namespace tallic::workspace
