#include "basic/postingrules.h"

using namespace Qt::Literals::StringLiterals;

namespace tallic {

bool isPaymentChit(const QString &chitNumber)
{
    return chitNumber.trimmed().toUpper() == u"PAYMENT"_s;
}

bool paymentMadeCredit(const QString &chitNumber, double base)
{
    return isPaymentChit(chitNumber) && base > 0;
}

bool terminatedDebitRefused(bool memberTerminated, double total)
{
    return memberTerminated && total > 0;
}

ChargeInputs chargeInputs(double base, double scRate, double taxRate,
                          const ChargeSettings &settings, const ChargeSwitches &switches)
{
    ChargeInputs in;
    in.base = base;
    in.scRate = switches.scBypass ? 0 : scRate;
    in.taxRate = switches.taxBypass || switches.exempt ? 0 : taxRate;
    in.consolidation = settings.consolidation;
    in.taxServiceCharge = settings.taxServiceCharge;
    in.taxBypass = switches.taxBypass;
    in.scTaxableShare = settings.scTaxableShare;
    in.scTaxBasis = settings.scTaxBasis;
    in.salesTaxRate = switches.exempt ? 0 : settings.companyTaxRate;
    return in;
}

} // namespace tallic
