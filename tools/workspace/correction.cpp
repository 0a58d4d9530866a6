#include "correction.h"

#include "basic/masks.h"
#include "basic/numbers.h"

#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace tallic::workspace {

namespace {

// The amount as the chit's field holds it once left: rounded to cents.
double cents(double value)
{
    return Val(formatMask(value, u"########.#0"_s));
}

Correction refused(Correction::Verdict verdict)
{
    Correction out;
    out.verdict = verdict;
    return out;
}

} // namespace

bool chargesKeyedByHand(const ChargeSettings &settings, const QString &chitNumber)
{
    return settings.consolidation && !isPaymentChit(chitNumber);
}

Correction correctAmount(const CorrectionBasis &basis, AmountColumn column, double typed)
{
    const QString word = basis.chitNumber.trimmed().toUpper();
    const bool payment = isPaymentChit(basis.chitNumber);
    Correction out;
    out.amounts = basis.stored;
    Amounts &a = out.amounts;

    if (column != AmountColumn::Base) {
        if (!chargesKeyedByHand(basis.settings, basis.chitNumber))
            return refused(Correction::Verdict::ChargesComputed);
        (column == AmountColumn::ServiceCharge ? a.serviceCharge : a.tax) = cents(typed);
    } else {
        a.base = cents(typed);
        if (a.base == 0)
            return refused(Correction::Verdict::BaseMissing);
        // Payments and credits are credits; an adjustment is one unless it charges.
        if (paymentMadeCredit(basis.chitNumber, a.base) || word == u"CREDIT"_s
            || (word == u"ADJMENT"_s && !basis.adjustmentCharges))
            a.base = -std::abs(a.base);
        if (payment) {
            a.serviceCharge = 0;
            a.tax = 0;
        } else if (!basis.settings.consolidation) {
            // What the stored base sale gives without a bypass tells whether one was on.
            const Charges unbypassed
                = chitCharges(chargeInputs(basis.stored.base, basis.scRate, basis.taxRate,
                                           basis.settings, { false, false, basis.exempt }));
            out.scBypassKept
                = basis.stored.serviceCharge == 0 && Val(unbypassed.serviceCharge) != 0;
            out.taxBypassKept = basis.stored.tax == 0 && Val(unbypassed.tax) != 0;
            const Charges charges
                = chitCharges(chargeInputs(a.base, basis.scRate, basis.taxRate, basis.settings,
                                           { out.scBypassKept, out.taxBypassKept, basis.exempt }));
            a.serviceCharge = Val(charges.serviceCharge);
            a.tax = Val(charges.tax);
        }
    }
    // Added in the order posting adds them.
    a.total = a.base + a.serviceCharge + a.tax;
    if (terminatedDebitRefused(basis.terminated, a.total))
        return refused(Correction::Verdict::TerminatedDebit);
    return out;
}

} // namespace tallic::workspace
