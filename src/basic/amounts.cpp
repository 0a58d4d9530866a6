#include "basic/amounts.h"

#include "basic/masks.h"
#include "basic/numbers.h"

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

// Added before the two-decimal mask so that charges lean up at the half cent.
constexpr double Nudge = 0.0005;

} // namespace

ChargeRates chargeRates(double accountScRate, double accountTaxRate, float companyTaxRate,
                        bool scBypass, bool taxBypass, bool taxExempt)
{
    ChargeRates rates { accountScRate, accountTaxRate, companyTaxRate };
    if (scBypass)
        rates.scRate = 0;
    if (taxBypass || taxExempt)
        rates.taxRate = 0;
    if (taxExempt)
        rates.salesTaxRate = 0;
    return rates;
}

Charges chitCharges(const ChargeInputs &in)
{
    if (in.consolidation)
        return { u"0"_s, u"0"_s };

    Charges out;
    out.serviceCharge = formatMask(in.base * in.scRate + Nudge, u"######.#0"_s);
    out.tax = formatMask(in.base * in.taxRate + Nudge, u"#####.#0"_s);

    if (in.taxServiceCharge && !in.taxBypass) {
        // The tax on the service charge is taken from the charge as shown, already rounded.
        // The share and the sales rate are single precision and are widened as they are.
        const double sc = Val(out.serviceCharge);
        const double share = in.scTaxableShare;
        if (in.scTaxBasis == u"S"_s) {
            const double salesRate = in.salesTaxRate;
            out.tax
                = formatMask(in.base * in.taxRate + sc * share * salesRate + Nudge, u"#####.#0"_s);
        } else if (in.scTaxBasis == u"D"_s || in.scTaxBasis.isEmpty()) {
            out.tax
                = formatMask(in.base * in.taxRate + sc * share * in.taxRate + Nudge, u"#####.#0"_s);
        }
    }
    return out;
}

QString chitTotal(const QString &serviceCharge, const QString &base, const QString &tax)
{
    return formatMask(Val(serviceCharge) + Val(base) + Val(tax), u"######.#0"_s);
}

} // namespace tallic
