#include "basic/amounts.h"

using namespace Qt::Literals::StringLiterals;

namespace tallic {

QString Charges::serviceChargeText() const
{
    return consolidated ? u"0"_s : serviceCharge.text();
}

QString Charges::taxText() const
{
    return consolidated ? u"0"_s : tax.text();
}

Charges chitCharges(const ChargeInputs &in)
{
    Charges out;
    if (in.consolidation) {
        out.consolidated = true;
        return out;
    }
    out.serviceCharge = Cents::charge(in.base * in.scRate);
    out.tax = Cents::charge(in.base * in.taxRate);

    if (in.taxServiceCharge && !in.taxBypass) {
        // The tax on the service charge is taken from the charge as shown, already rounded.
        // The share and the sales rate are single precision and are widened as they are.
        const double sc = out.serviceCharge.toDouble();
        const double share = in.scTaxableShare;
        if (in.scTaxBasis == u"S"_s) {
            const double salesRate = in.salesTaxRate;
            out.tax = Cents::charge(in.base * in.taxRate + sc * share * salesRate);
        } else if (in.scTaxBasis == u"D"_s || in.scTaxBasis.isEmpty()) {
            out.tax = Cents::charge(in.base * in.taxRate + sc * share * in.taxRate);
        }
    }
    return out;
}

QString chitTotal(const QString &serviceCharge, const QString &base, const QString &tax)
{
    return (Cents::read(serviceCharge) + Cents::read(base) + Cents::read(tax)).text();
}

} // namespace tallic
