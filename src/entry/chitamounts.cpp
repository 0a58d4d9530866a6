#include "chitamounts.h"

#include "basic/amounts.h"
#include "basic/cents.h"
#include "basic/masks.h"
#include "basic/modewords.h"
#include "basic/numbers.h"
#include "basic/postingrules.h"
#include "entrycontrols.h"
#include "platform/runtime.h"
#include "posting/modes.h"
#include "store/database.h"
#include "suite/arsettings.h"
#include "suite/messages.h"

using namespace Qt::Literals::StringLiterals;

namespace tallic {

ChitAmounts::ChitAmounts(Form &window, const ArSettings &settings, const KeyedChit &keyed)
    : window_(window)
    , settings_(settings)
    , keyed_(keyed)
{
}

void ChitAmounts::computeAndMoveOn()
{
    if (compute(true))
        complete();
}

void ChitAmounts::leave()
{
    if (done_)
        done_ = false;
    else if (compute(false))
        complete();
}

std::optional<AccountRates> ChitAmounts::accountRates(bool moveOn)
{
    QString db = u"ar"_s;
    const Result<DbRow> row
        = DbRead(db,
                 u"select * from ar0 where aracctnum = "_s
                     + shortestNumber(Val(Text1(window_, Field::GlAccount).text())));
    // A database that cannot be read gives no rates: the layer has said why (a missing
    // file) or the failure is reported here.
    if (!row) {
        if (!row.failure().shown)
            ReportError(row.failure());
        window_.control(u"cmdokay"_s).setEnabled(false);
        if (!moveOn)
            Text1(window_, Field::BaseSale).setFocus();
        return std::nullopt;
    }
    if (!row->found) {
        showNotice(refusalNotice(Refusal::NoAccountRates));
        return std::nullopt;
    }
    return AccountRates { row->number(7), row->number(8) };
}

void ChitAmounts::signBase()
{
    // Payments, credits and adjustments are negative unless the operator charges.
    Control base = Text1(window_, Field::BaseSale);
    const TransMode keyedMode = modeOfChitNumber(Text1(window_, Field::ChitNumber).text());
    const QString amountCaption = Label1(window_, Field::BaseSale).caption();
    if (keyedMode == TransMode::Normal && amountCaption != u"Credit"_s
        && amountCaption != u"Adjustment"_s && amountCaption != u"Payment Amount"_s)
        return;
    const bool charging = keyedMode == TransMode::Adjustment
        && AskYesNo(u"Click YES if you are CHARGING the account,\nclick NO if you are CREDITING "
                    u"the account."_s,
                    u"Debit or Credit?"_s);
    if (!charging)
        base.setText((-Cents::read(base.text()).abs()).text());
}

bool ChitAmounts::compute(bool moveOn)
{
    const std::optional<AccountRates> rates = accountRates(moveOn);
    if (!rates)
        return false;
    signBase();

    // The bypasses and the member's exemption zero the rates for this chit.
    const ChargeInputs in = chargeInputs(
        Val(Text1(window_, Field::BaseSale).text()), rates->serviceCharge, rates->tax,
        settings_.chargeSettings(), { keyed_.ScBypass, keyed_.TaxBypass, keyed_.TaxExempt });
    // The service charge and the tax; payments carry neither.
    if (modeOfChitNumber(Text1(window_, Field::ChitNumber).text()) == TransMode::Payment) {
        Text1(window_, Field::ServiceCharge).setText(u"0"_s);
        Text1(window_, Field::Tax).setText(u"0"_s);
    } else {
        const Charges charges = chitCharges(in);
        Text1(window_, Field::ServiceCharge).setText(charges.serviceChargeText());
        Text1(window_, Field::Tax).setText(charges.taxText());
    }

    // OK is offered; Enter or "+" moves on to the memo, or to OK when the memo is off.
    DoEvents();
    Control ok = window_.control(u"cmdokay"_s);
    ok.setEnabled(true);
    if (moveOn) {
        // Leaving the base sale now must not compute a second time.
        done_ = true;
        Control memo = window_.control(u"txtmemo"_s);
        if (memo.enabled())
            memo.setFocus();
        else
            ok.setFocus();
    }
    return true;
}

void ChitAmounts::complete()
{
    Control base = Text1(window_, Field::BaseSale);
    base.setText(Cents::read(base.text()).text());
    Text1(window_, Field::Total)
        .setText(chitTotal(Text1(window_, Field::ServiceCharge).text(), base.text(),
                           Text1(window_, Field::Tax).text()));

    // Only a normal chit is asked what its negative amount is.
    Control chitNumber = Text1(window_, Field::ChitNumber);
    if (Cents::read(base.text()) >= Cents() || isModeWord(chitNumber.text()))
        return;
    if (AskYesNo(u"Is this a PAYMENT?"_s, u"Payment or Adjustment?"_s)) {
        chitNumber.setText(modeWord(TransMode::Payment));
        return;
    }
    if (AskYesNo(u"Is this an adjustment credit to correct a transaction\nfor a PRIOR minimum "
                 u"cycle that may apply to minimums?"_s,
                 u"Prior Cycle Adjustment or Current Month Credit?"_s)) {
        chitNumber.setText(modeWord(TransMode::Adjustment));
        MsgBox(
            u"The adjustment credit will be applied to\nthe member's account along with payments."_s,
            BoxButtons::Ok, BoxIcon::Information, u"Adjustment to prior minimum cycle/month"_s);
    } else {
        MsgBox(u"The credit amount applies to a purchase\nmade during the CURRENT month."_s,
               BoxButtons::Ok, BoxIcon::Information, u"Current Month Credit"_s);
    }
}

} // namespace tallic
