#pragma once

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

// The rates a chit is charged at: the account's, less what the bypasses and the member's
// tax exemption take off. An exempt member pays no sales tax on the service charge either.
struct ChargeRates
{
    double scRate = 0;
    double taxRate = 0;
    float salesTaxRate = 0;
};
ChargeRates chargeRates(double accountScRate, double accountTaxRate, float companyTaxRate,
                        bool scBypass, bool taxBypass, bool taxExempt);

struct Charges
{
    QString serviceCharge; // the texts the fields take ("15.00", "0")
    QString tax;
};

// The service charge and the tax of a chit, as the entry screen shows them: each rounded
// after adding 0.0005, "0" for both while chits are consolidated.
Charges chitCharges(const ChargeInputs &in);

// The chit total of the three amount fields' texts, each read as a leading number.
QString chitTotal(const QString &serviceCharge, const QString &base, const QString &tax);

} // namespace tallic
