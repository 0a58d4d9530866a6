#include "basic/postingrules.h"

#include "basic/modewords.h"
#include "basic/numbers.h"

#include <QRegularExpression>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

bool isPaymentChit(const QString &chitNumber)
{
    return modeOfChitNumber(chitNumber) == TransMode::Payment;
}

bool paymentMadeCredit(const QString &chitNumber, Cents base)
{
    return isPaymentChit(chitNumber) && base > Cents();
}

bool terminatedDebitRefused(bool memberTerminated, Cents total)
{
    return memberTerminated && total > Cents();
}

Notice refusalNotice(Refusal refusal)
{
    switch (refusal) {
    case Refusal::TerminatedDebit:
        return { u"Terminated Member"_s,
                 u"This account is marked as terminated. Only credit value\ntransactions can be "
                 u"made to a terminated member account."_s };
    case Refusal::BaseMissing:
        return { u"Oops..."_s, u"Base sale total is missing."_s };
    case Refusal::NoAccountRates:
        return { u"G/L Account Problem..."_s,
                 u"Either the G/L account is missing in this chit or\nyou must Update A/R from "
                 u"G/L before continuing.\n(The latter step is performed in A/R Configuration.)"_s,
                 true };
    case Refusal::None:
    case Refusal::DateOutsideMonth:
        break;
    }
    return {};
}

Notice paymentCreditNotice()
{
    return { u"Oops..."_s,
             u"Payment - type transactions can only be credit values.\nThe amount has been "
             u"changed for your convenience."_s };
}

PostingDecision decidePosting(const Chit &chit, const PostingContext &context)
{
    PostingDecision out { Refusal::None, DateVerdict::Accepted, chit, context.workDate, false };
    Chit &c = out.chit;
    if (terminatedDebitRefused(context.memberTerminated, Cents::read(c[Field::Total]))) {
        out.refusal = Refusal::TerminatedDebit;
        return out;
    }
    if (!context.drawnChitNumber.isEmpty())
        c[Field::ChitNumber] = context.drawnChitNumber;
    if (out.workDate < 1)
        out.workDate = context.today;
    if (Val(c[Field::ChitDate]) < 1 || !context.dateKeyed)
        c[Field::ChitDate] = QString::number(out.workDate);
    // The date posted is held to the open month like a keyed one: a refused date can reach
    // a hidden date field through the batch date.
    out.dateVerdict = checkChitDate(toLong(Val(c[Field::ChitDate])), context.arYear,
                                    context.arMonth, context.accessLevel, context.systemYear);
    if (out.dateVerdict != DateVerdict::Accepted) {
        out.refusal = Refusal::DateOutsideMonth;
        return out;
    }
    const Cents base = Cents::read(c[Field::BaseSale]);
    if (base == Cents()) {
        out.refusal = Refusal::BaseMissing;
        return out;
    }
    if (Val(c[Field::Employee]) == 0)
        c[Field::Employee] = u"0"_s;
    // A payment is always a credit, without service charge or tax.
    if (paymentMadeCredit(c[Field::ChitNumber], base)) {
        const QString credit = (-base).shortest();
        c[Field::BaseSale] = credit;
        c[Field::ServiceCharge] = u"0"_s;
        c[Field::Tax] = u"0"_s;
        c[Field::Total] = credit;
        out.madeCredit = true;
    }
    return out;
}

bool alikeChecked(const QString &chitNumber, bool drawn)
{
    return !drawn && !isModeWord(chitNumber);
}

BatchStamp splitBatchStamp(const QString &origin)
{
    static const QRegularExpression stamp(u"^(.+)(\\d\\d:\\d\\d:\\d\\d)$"_s);
    const QRegularExpressionMatch parts = stamp.match(origin);
    if (!parts.hasMatch())
        return { origin.trimmed(), QString() };
    return { parts.captured(1).trimmed(), parts.captured(2) };
}

Notice alikeQuestion(const Chit &chit, qint32 foundDate, const QString &foundOrigin)
{
    QString text = u"Chit "_s + chit[Field::ChitNumber].trimmed() + u" for member "_s
        + chit[Field::Member].trimmed() + u" with a base sale of "_s
        + chit[Field::BaseSale].trimmed() + u" is already in the A/R month"_s;
    if (foundDate > 0) {
        const QString date = QString::number(foundDate);
        const BatchStamp batch = splitBatchStamp(foundOrigin);
        text += u":\nchit date "_s + date.mid(4, 2) + u'-' + date.mid(6, 2) + u'-' + date.left(4)
            + u", batch "_s + foundOrigin.trimmed();
        if (!batch.time.isEmpty())
            text += u" (operator "_s + batch.operatorName + u", begun at "_s + batch.time + u')';
    }
    return { u"Chit keyed before"_s, text + u".\n\nPost it again?"_s };
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
