#pragma once

#include "basic/amounts.h"
#include "basic/cents.h"
#include "basic/chit.h"
#include "basic/chitdates.h"

#include <QString>

namespace tallic {

// The rules a chit is posted by, whichever window posts or corrects it: the entry screen's
// OK and the workspace editor's corrections decide with these same routines.

// Whether the chit number is the payment mode's word, blanks and letter case aside.
bool isPaymentChit(const QString &chitNumber);

// Whether posting turns the chit into a credit: a payment keyed as a positive amount.
// The credit is the amount negated, without service charge or tax.
bool paymentMadeCredit(const QString &chitNumber, Cents base);

// Whether posting refuses the chit: a terminated member's account takes credits only, so a
// chit whose total is above 0 is refused.
bool terminatedDebitRefused(bool memberTerminated, Cents total);

// Why posting refuses a chit, whichever window posts or corrects it.
enum class Refusal {
    None,
    TerminatedDebit, // a total above 0 for a terminated member
    DateOutsideMonth, // the chit date is not in the open A/R month (DateVerdict says how)
    BaseMissing, // a base sale of 0
    NoAccountRates, // the chit's G/L account is not in ar0
};

// A box that tells the operator why a chit is refused or what posting changed in it.
struct Notice
{
    QString title;
    QString text;
    bool critical = false; // the critical icon; the information icon otherwise
};
// The box of a refusal. A date outside the month is told by dateRefusalText() under the
// date's own title.
Notice refusalNotice(Refusal refusal);
// The box after a payment was made a credit.
Notice paymentCreditNotice();

// What OK decides from besides the chit on the screen.
struct PostingContext
{
    bool memberTerminated = false;
    qint32 workDate = 0; // the batch date; below 1 today's date stands for it
    qint32 today = 0;
    qint32 arYear = 0;
    int arMonth = 0;
    int accessLevel = 0;
    int systemYear = 0;
    bool dateKeyed = true; // the date field is switched on
    // A chit number made up for a chit whose number field is switched off; empty while
    // the number is keyed.
    QString drawnChitNumber;
};

struct PostingDecision
{
    Refusal refusal = Refusal::None;
    DateVerdict dateVerdict = DateVerdict::Accepted;
    // The chit with the corrections made before the decision was reached: a made-up
    // number, the batch date for a blank or hidden date, "0" for no employee, a payment
    // made a credit.
    Chit chit;
    qint32 workDate = 0; // the batch date afterwards
    bool madeCredit = false; // the operator is told (paymentCreditNotice)
};

// What OK does with the chit before it is stored, in the order the checks are made: a
// terminated member's debit is refused as keyed; the chit number and a blank or hidden
// date are filled in; a date outside the open month and a base sale of 0 are refused; a
// payment keyed as a positive amount becomes a credit without service charge or tax.
PostingDecision decidePosting(const Chit &chit, const PostingContext &context);

// A batch's start stamp as posting writes it, the operator's name and the batch's start
// time ("JONES10:15:00"). A name too long to leave room for the whole time, and generation's
// own word ("AutoGen"), are a name alone.
struct BatchStamp
{
    QString operatorName;
    QString time; // hh:mm:ss, or empty
};
BatchStamp splitBatchStamp(const QString &origin);

// Whether OK looks for a chit alike before it stores one: not for a number the program drew
// itself, nor for a mode's word.
bool alikeChecked(const QString &chitNumber, bool drawn);

// The question before a chit alike one in the open month is stored again: the row found, by
// its chit date and its batch (whose start stamp is the operator's name and the batch's start
// time); a date of 0 when it could not be read.
Notice alikeQuestion(const Chit &chit, qint32 foundDate, const QString &foundOrigin);

// The club's settings that the charges of every chit follow.
struct ChargeSettings
{
    bool consolidation = false; // ConsolidationMode other than "N": nothing is computed
    bool taxServiceCharge = false; // TaxServiceCharge "Y"
    float scTaxableShare = 0;
    QString scTaxBasis;
    float companyTaxRate = 0;
};

// What one chit's charges are computed from: the base sale, its account's rates, and what
// zeroes them for this chit (a bypass, the member's tax exemption). An exempt member's
// service charge is not taxed at the company's rate either.
struct ChargeSwitches
{
    bool scBypass = false;
    bool taxBypass = false;
    bool exempt = false;
};
ChargeInputs chargeInputs(double base, double scRate, double taxRate,
                          const ChargeSettings &settings, const ChargeSwitches &switches);

} // namespace tallic
