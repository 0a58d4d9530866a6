// The base sale: service charge, tax and total, and the questions about a negative amount.
#include "arinput.h"

#include "basic/amounts.h"
#include "basic/masks.h"
#include "basic/numbers.h"
#include "platform/runtime.h"
#include "suite/database.h"
#include "suite/messages.h"
#include "suite/sharedstate.h"

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

bool isModeWord(const QString &text)
{
    return text == u"PAYMENT"_s || text == u"CREDIT"_s || text == u"ADJMENT"_s;
}

double rowNumber(int position)
{
    const SharedState &s = state();
    return position < s.RowValues.size() ? s.RowValues.at(position).toDouble() : 0.0;
}

} // namespace

bool Arinput::computeCharges(bool moveOn)
{
    SharedState &s = state();
    Control base = Text1(Field::BaseSale);

    // The account's rates.
    QString db = u"ar"_s;
    DbRead(db,
           u"select * from ar0 where aracctnum = "_s
               + shortestNumber(Val(Text1(Field::GlAccount).text())));
    // A database that cannot be read gives no rates, whatever the row buffer still holds:
    // the layer has said why (a missing file) or the failure is reported here.
    const bool missing = s.MsgText != u"QUIT"_s && !s.MsgText.isEmpty();
    if (s.ErrNumber != 0 || missing) {
        ReportError();
        clearError();
        ctl(u"cmdokay"_s).setEnabled(false);
        if (!moveOn)
            base.setFocus();
        return false;
    }
    if (s.MsgText == u"QUIT"_s) {
        MsgBox(
            u"Either the G/L account is missing in this chit or\nyou must Update A/R from G/L before continuing.\n(The latter step is performed in A/R Configuration.)"_s,
            BoxButtons::Ok, BoxIcon::Critical, u"G/L Account Problem..."_s);
        return false;
    }
    const double scRate = rowNumber(7);
    const double taxRate = rowNumber(8);

    // Payments, credits and adjustments are negative unless the operator charges.
    const QString chitNumber = Text1(Field::ChitNumber).text().remove(u' ').toUpper();
    const QString amountCaption = Label1(Field::BaseSale).caption();
    if (isModeWord(chitNumber) || amountCaption == u"Credit"_s || amountCaption == u"Adjustment"_s
        || amountCaption == u"Payment Amount"_s) {
        bool negate = true;
        if (Text1(Field::ChitNumber).text() == u"ADJMENT"_s) {
            s.MsgTitle = u"Debit or Credit?"_s;
            s.MsgText
                = u"Click YES if you are CHARGING the account,\nclick NO if you are CREDITING the account."_s;
            AskYesNo();
            negate = s.MsgAnswer != AnswerYes;
        }
        if (negate)
            base.setText(formatMask(-std::abs(Val(base.text())), u"#######.#0"_s));
    }

    // The bypasses and the member's exemption.
    const ChargeRates rates = chargeRates(scRate, taxRate, s.CompanyTaxRate, s.ScBypass != 0,
                                          s.TaxBypass != 0, s.TaxExempt == 1);
    s.SalesTaxRate = rates.salesTaxRate;

    // The service charge and the tax; payments carry neither.
    if (Text1(Field::ChitNumber).text() == u"PAYMENT"_s) {
        Text1(Field::ServiceCharge).setText(u"0"_s);
        Text1(Field::Tax).setText(u"0"_s);
    } else {
        ChargeInputs in;
        in.base = Val(base.text());
        in.scRate = rates.scRate;
        in.taxRate = rates.taxRate;
        in.consolidation = s.ConsolidationMode != u"N"_s;
        in.taxServiceCharge = s.TaxServiceCharge == u"Y"_s;
        in.taxBypass = s.TaxBypass != 0;
        in.scTaxableShare = s.ScTaxableShare;
        in.scTaxBasis = s.ScTaxBasis;
        in.salesTaxRate = s.SalesTaxRate;
        const Charges charges = chitCharges(in);
        Text1(Field::ServiceCharge).setText(charges.serviceCharge);
        Text1(Field::Tax).setText(charges.tax);
    }

    // OK is offered; Enter or "+" moves on to the memo, or to OK when the memo is off.
    DoEvents();
    Control ok = ctl(u"cmdokay"_s);
    ok.setEnabled(true);
    if (moveOn) {
        // Leaving the base sale now must not compute a second time.
        amountsDone_ = true;
        Control memo = ctl(u"txtmemo"_s);
        if (memo.enabled())
            memo.setFocus();
        else
            ok.setFocus();
    }
    return true;
}

void Arinput::completeChit()
{
    SharedState &s = state();
    Control base = Text1(Field::BaseSale);
    base.setText(formatMask(Val(base.text()), u"########.#0"_s));
    Text1(Field::Total)
        .setText(
            chitTotal(Text1(Field::ServiceCharge).text(), base.text(), Text1(Field::Tax).text()));

    // Only a normal chit is asked what its negative amount is.
    Control chitNumber = Text1(Field::ChitNumber);
    if (Val(base.text()) >= 0 || isModeWord(chitNumber.text()))
        return;
    s.MsgTitle = u"Payment or Adjustment?"_s;
    s.MsgText = u"Is this a PAYMENT?"_s;
    AskYesNo();
    if (s.MsgAnswer == AnswerYes) {
        chitNumber.setText(u"PAYMENT"_s);
        return;
    }
    s.MsgTitle = u"Prior Cycle Adjustment or Current Month Credit?"_s;
    s.MsgText
        = u"Is this an adjustment credit to correct a transaction\nfor a PRIOR minimum cycle that may apply to minimums?"_s;
    AskYesNo();
    if (s.MsgAnswer == AnswerYes) {
        chitNumber.setText(u"ADJMENT"_s);
        MsgBox(
            u"The adjustment credit will be applied to\nthe member's account along with payments."_s,
            BoxButtons::Ok, BoxIcon::Information, u"Adjustment to prior minimum cycle/month"_s);
    } else {
        MsgBox(u"The credit amount applies to a purchase\nmade during the CURRENT month."_s,
               BoxButtons::Ok, BoxIcon::Information, u"Current Month Credit"_s);
    }
}

} // namespace tallic
