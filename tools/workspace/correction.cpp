#include "correction.h"

#include "basic/modewords.h"

using namespace Qt::Literals::StringLiterals;

namespace tallic::workspace {

namespace {

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

Correction correctAmount(const CorrectionBasis &basis, AmountColumn column, Cents typed)
{
    const TransMode mode = modeOfChitNumber(basis.chitNumber);
    const bool payment = isPaymentChit(basis.chitNumber);
    Correction out;
    out.amounts = basis.stored;
    Amounts &a = out.amounts;

    if (column != AmountColumn::Base) {
        if (!chargesKeyedByHand(basis.settings, basis.chitNumber))
            return refused(Correction::Verdict::ChargesComputed);
        (column == AmountColumn::ServiceCharge ? a.serviceCharge : a.tax) = typed;
    } else {
        a.base = typed;
        if (a.base == Cents())
            return refused(Correction::Verdict::BaseMissing);
        // Payments and credits are credits; an adjustment is one unless it charges.
        if (paymentMadeCredit(basis.chitNumber, a.base) || mode == TransMode::Credit
            || (mode == TransMode::Adjustment && !basis.adjustmentCharges))
            a.base = -a.base.abs();
        if (payment) {
            a.serviceCharge = Cents();
            a.tax = Cents();
        } else if (!basis.settings.consolidation) {
            // What the stored base sale gives without a bypass tells whether one was on.
            const Charges unbypassed = chitCharges(
                chargeInputs(basis.stored.base.toDouble(), basis.scRate, basis.taxRate,
                             basis.settings, { false, false, basis.exempt }));
            out.scBypassKept
                = basis.stored.serviceCharge == Cents() && unbypassed.serviceCharge != Cents();
            out.taxBypassKept = basis.stored.tax == Cents() && unbypassed.tax != Cents();
            const Charges charges = chitCharges(
                chargeInputs(a.base.toDouble(), basis.scRate, basis.taxRate, basis.settings,
                             { out.scBypassKept, out.taxBypassKept, basis.exempt }));
            a.serviceCharge = charges.serviceCharge;
            a.tax = charges.tax;
        }
    }
    // The sum, as posting stores it.
    a.total = a.base + a.serviceCharge + a.tax;
    if (terminatedDebitRefused(basis.terminated, a.total))
        return refused(Correction::Verdict::TerminatedDebit);
    return out;
}

} // namespace tallic::workspace
