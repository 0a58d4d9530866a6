#pragma once

#include "basic/cents.h"

#include <QString>

namespace tallic {

// What the service charge and tax of a chit are computed from.
struct ChargeInputs
{
    double base = 0; // the base sale as keyed (signed)
    double scRate = 0; // the account's service-charge rate, 0 when bypassed
    double taxRate = 0; // the account's tax rate, 0 when bypassed or exempt
    bool consolidation = false; // ConsolidationMode other than "N": nothing is computed
    bool taxServiceCharge = false; // TaxServiceCharge "Y"
    bool taxBypass = false;
    float scTaxableShare = 0;
    QString scTaxBasis; // "S": the share is taxed at salesTaxRate; "D" or "": at taxRate
    float salesTaxRate = 0;
};

struct Charges
{
    Cents serviceCharge;
    Cents tax;
    bool consolidated = false; // nothing was computed

    // The texts the fields take: "15.00", ".69"; "0" for both while chits are consolidated.
    QString serviceChargeText() const;
    QString taxText() const;
};

// The service charge and the tax of a chit, as the entry screen computes them: each rounded
// after adding 0.0005, nothing while chits are consolidated.
Charges chitCharges(const ChargeInputs &in);

// The chit total of the three amount fields' texts, each read as a leading number and
// rounded to the cent, as posting adds them.
QString chitTotal(const QString &serviceCharge, const QString &base, const QString &tax);

} // namespace tallic
