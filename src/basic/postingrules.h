#pragma once

#include "basic/amounts.h"

#include <QString>

namespace tallic {

// The rules a chit is posted by, whichever window posts or corrects it: the entry screen's
// OK and the workspace editor's corrections decide with these same routines.

// Whether the chit number is the payment mode's word, blanks and letter case aside.
bool isPaymentChit(const QString &chitNumber);

// Whether posting turns the chit into a credit: a payment keyed as a positive amount.
// The credit is the amount negated, without service charge or tax.
bool paymentMadeCredit(const QString &chitNumber, double base);

// Whether posting refuses the chit: a terminated member's account takes credits only, so a
// chit whose total is above 0 is refused.
bool terminatedDebitRefused(bool memberTerminated, double total);

// The club's settings that the charges of every chit follow.
struct ChargeSettings
{
    bool consolidation = false; // ConsolidationMode other than "N": nothing is computed
    bool taxServiceCharge = false; // TaxServiceCharge "Y"
    float scTaxableShare = 0;
    QString scTaxBasis;
    float companyTaxRate = 0;
};

// What one chit's charges are computed from: the base sale, its account's rates, and what
// zeroes them for this chit (a bypass, the member's tax exemption). An exempt member's
// service charge is not taxed at the company's rate either.
struct ChargeSwitches
{
    bool scBypass = false;
    bool taxBypass = false;
    bool exempt = false;
};
ChargeInputs chargeInputs(double base, double scRate, double taxRate,
                          const ChargeSettings &settings, const ChargeSwitches &switches);

} // namespace tallic
