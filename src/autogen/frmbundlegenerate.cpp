// Generate Chits: the bundle's items written as chits for every listed member.
#include "frmbundle.h"

#include "basic/chitdates.h"
#include "basic/masks.h"
#include "basic/numbers.h"
#include "entry/arinput.h"
#include "entry/chit.h"
#include "generation.h"
#include "listfiles.h"
#include "platform/platform.h"
#include "platform/runtime.h"
#include "suite/chitnumbers.h"
#include "suite/database.h"
#include "suite/messages.h"
#include "suite/sharedstate.h"
#include "suite/staff.h"
#include "suite/today.h"

#include <QElapsedTimer>
#include <QProgressBar>
#include <QSqlRecord>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

// The positions of the ardaily row that generation fills, and those it looks at again.
constexpr int RowColumns = 18;
constexpr int DateColumn = 2;
constexpr int MemberColumn = 3;
constexpr int OriginColumn = 15;
constexpr int MemoColumn = 16;
constexpr int GeneratedSource = 9;

// Painting after every chit would cost more than writing it; this often the progress
// still moves smoothly.
constexpr int RepaintMs = 50;

// The failure being handled as the run-time error ReportError tells of.
void setError(qint32 number, const QString &description)
{
    state().ErrNumber = number;
    state().ErrDescription = description;
}

// The chit date: the entry screen's, else the operator's answer; empty when none.
QString askChitDate()
{
    SharedState &s = state();
    if (auto *entry = qobject_cast<Arinput *>(Form::find(u"arinput"_s))) {
        const QString keyed = entry->Text1(Field::ChitDate).text();
        if (!keyed.isEmpty())
            return keyed;
    }
    platform().clearClipboard();
    DoEvents();
    SetToday();
    s.MsgTitle = u"Set Date To Use"_s;
    const QString answer
        = InputBox(u"Enter the date for these generated chits\nin YYYYMMDD format.\n\n"
                   u"Press ENTER to accept the current date."_s,
                   s.MsgTitle, QString::number(s.TodayNumber));
    return generationDate(answer, platform().today().year());
}

ChargeRules chargeRules()
{
    const SharedState &s = state();
    ChargeRules rules;
    rules.consolidation = s.ConsolidationMode != u"N"_s;
    rules.taxServiceCharge = s.TaxServiceCharge == u"Y"_s;
    rules.taxBypass = s.TaxBypass != 0;
    rules.scBypass = s.ScBypass != 0;
    rules.scTaxableShare = s.ScTaxableShare;
    rules.scTaxBasis = s.ScTaxBasis;
    // The company's rate: the entry screen zeroes SalesTaxRate for its own exempt member,
    // which must not carry over to the listed ones.
    rules.salesTaxRate = s.CompanyTaxRate;
    return rules;
}

// The bundle as saved. Read once for the whole run, so that every member is charged the
// same items even if another workstation saves its bundle meanwhile.
bool readBundle(QList<RatedItem> &items)
{
    bool ok = true;
    const QStringList lines = readListFile(u"bundle1.ini"_s, &ok);
    for (const QString &line : lines)
        items.append({ parseBundleLine(line), 0, 0 });
    return ok;
}

// The rates of every item's account; false with the failure passed on when one cannot be
// read: no member's chit could be written whole.
bool readRates(QList<RatedItem> &items)
{
    SuiteDb ar(u"ar.mdb"_s);
    for (RatedItem &rated : items) {
        QSqlQuery rates = ar.query(u"select * from ar0 where aracctnum = "_s
                                   + shortestNumber(rated.item.account));
        if (ar.failed()) {
            ar.passOnError();
            return false;
        }
        if (!rates.next()) {
            setError(JetError::NoCurrentRecord,
                     u"Account "_s + rated.item.accountField + u" has no A/R rates (ar0)."_s);
            return false;
        }
        // A null rate reads as 0.
        rated.scRate = rates.value(u"arsrvchg"_s).toDouble();
        rated.taxRate = rates.value(u"arsalestax"_s).toDouble();
    }
    return true;
}

// The names of ardaily's first columns, which a chit's row fills by position; empty with
// the failure passed on when the table cannot be read or lacks them.
QStringList rowColumns()
{
    SuiteDb daily(u"daily.mdb"_s);
    QSqlQuery layout = daily.query(u"select * from ardaily where tallicnum = 'FaGb#@HDJx'"_s);
    const QSqlRecord record = layout.record();
    layout.finish();
    if (daily.failed()) {
        daily.passOnError();
        return {};
    }
    if (record.count() < RowColumns) {
        setError(JetError::NoSuchColumn, u"The ardaily table lacks the columns of a chit."_s);
        return {};
    }
    QStringList names;
    for (int i = 0; i < RowColumns; ++i)
        names << record.fieldName(i);
    return names;
}

// The members that generated chits already bill for this date and memo; false with the
// failure passed on.
bool billedMembers(const QStringList &columns, const QString &date, const QString &memo,
                   QList<double> &billed)
{
    SuiteDb daily(u"daily.mdb"_s);
    QSqlQuery query = daily.query(
        u"select distinct %1 from ardaily where %2 = 'AutoGen' and %3 = ? "
        u"and coalesce(%4, '') = ?"_s.arg(columns.at(MemberColumn), columns.at(OriginColumn),
                                          columns.at(DateColumn), columns.at(MemoColumn)),
        { Val(date), memo });
    while (!daily.failed() && query.next())
        billed.append(query.value(0).toDouble());
    if (!daily.failed() && query.lastError().isValid())
        daily.setError(query.lastError());
    if (daily.failed()) {
        daily.passOnError();
        return false;
    }
    return true;
}

// One member's chit: the rows of every item in one transaction, stored whole or not at
// all; false with the failure passed on. The row holds the chit's own values already.
bool storeChit(SuiteDb &daily, const QString &insert, QVariantList &row,
               const QList<RatedItem> &items, const QList<ItemAmounts> &amounts)
{
    if (!daily.transaction()) {
        daily.passOnError();
        return false;
    }
    for (qsizetype i = 0; i < items.size(); ++i) {
        const ItemAmounts &amount = amounts.at(i);
        row[0] = items.at(i).item.account;
        row[6] = items.at(i).item.price;
        row[7] = amount.serviceCharge;
        row[8] = amount.tax;
        row[9] = amount.total;
        if (!daily.execPrepared(insert, row)) {
            daily.passOnError();
            daily.rollback();
            return false;
        }
    }
    if (!daily.commit()) {
        daily.passOnError();
        daily.rollback();
        return false;
    }
    return true;
}

} // namespace

void Frmbundle::cmdgenerate_Click()
{
    // A second run must wait until the chits are written.
    Control generate = ctl(u"cmdgenerate"_s);
    generate.setEnabled(false);
    generateChits();
    generate.setEnabled(true);
}

void Frmbundle::generateChits()
{
    SharedState &s = state();
    progress_->reset();
    saveList(Bundle, u"Bundle saved."_s);
    saveList(Members, u"Member list saved."_s);
    DoEvents();

    const QString date = askChitDate();
    if (date.isEmpty())
        return;
    // Generated chits obey the same period rules as keyed ones.
    const DateVerdict verdict = checkChitDate(toLong(Val(date)), s.ArYear, s.ArMonth, s.AccessLevel,
                                              platform().today().year());
    if (verdict != DateVerdict::Accepted) {
        MsgBox(dateRefusalText(verdict), BoxButtons::Ok, BoxIcon::Information,
               u"Date entered: "_s + date);
        return;
    }

    s.WorkDateText = date;
    CheckDateInUse();
    if (s.MsgText != u"OK"_s) {
        MsgBox(s.MsgText
                   + u"\n\nYou should notify this user that you are\nadding transactions to the "
                     u"date he/she is\nalso currently using."_s,
               BoxButtons::Ok, BoxIcon::Information, u"Shared Date"_s);
    }

    // What the run will write is on the screen before the operator confirms it.
    const QStringList members = ctl(u"List2"_s).items();
    QList<RatedItem> items;
    if (!readBundle(items) || (!members.isEmpty() && !readRates(items))) {
        reportStop(0, members.value(0));
        return;
    }
    ctl(u"mainhelpwindow"_s).setText(summaryText(summarizeRun(items, members, chargeRules())));

    s.MsgTitle = u"Please confirm..."_s;
    s.MsgText = u"Click YES to generate, click NO to cancel now."_s;
    AskYesNo();
    if (s.MsgAnswer != AnswerYes) {
        ctl(u"cmdexit"_s).setFocus();
        return;
    }

    if (ctl(u"List1"_s).items().isEmpty())
        s.MsgText = u"Unable to generate chits. There are no items to create."_s;
    else if (members.isEmpty())
        s.MsgText = u"Unable to generate chits. There are no member accounts selected."_s;
    if (ctl(u"List1"_s).items().isEmpty() || members.isEmpty()) {
        MsgBox(s.MsgText, BoxButtons::Ok, BoxIcon::Information, u"Oops..."_s);
        return;
    }

    // The row is written by column position: the table's own order is the layout.
    const QStringList columns = rowColumns();
    // A run repeated by mistake would bill the same members twice.
    QList<double> billed;
    if (columns.isEmpty() || !billedMembers(columns, date, memoText(), billed)) {
        reportStop(0, members.first());
        return;
    }
    if (const qsizetype count = countBilled(members, billed); count > 0) {
        s.MsgTitle = u"Already billed..."_s;
        s.MsgText = alreadyBilledText(count, date);
        AskYesNo();
        if (s.MsgAnswer != AnswerYes) {
            ctl(u"cmdexit"_s).setFocus();
            return;
        }
    }

    // Nothing may change the lists or close the window while rows are written.
    setCommandsAvailable(false);
    writeChits(columns, date, members, items);
    setCommandsAvailable(true);
}

QString Frmbundle::memoText() const
{
    // Stored also when empty: a generated row's memo is never left unset.
    const QString memo = ctl(u"txtmemo"_s).text();
    return memo.isNull() ? u""_s : memo;
}

void Frmbundle::setCommandsAvailable(bool on)
{
    for (const char *name : { "cmdadd", "cmddelete", "cmdnew", "cmdsavelist", "cmddeletelist",
                              "cmdaddmember", "cmdaddgroup", "cmddeletemember", "cmdnewmemberlist",
                              "cmdsavemember", "cmddelmemlist", "cmdexit" })
        ctl(QString::fromLatin1(name)).setEnabled(on);
}

void Frmbundle::reportStop(int written, const QString &member)
{
    // A failure that would only recur is told once; the chits written so far stay, and the
    // window says where to resume.
    ReportError();
    clearError();
    Control help = ctl(u"mainhelpwindow"_s);
    if (member.isEmpty())
        help.setText(u"No chits written."_s);
    else
        help.setText(QString::number(written) + u" chits written. Stopped at member "_s + member
                     + u'.');
    DoEvents();
}

void Frmbundle::writeChits(const QStringList &columns, const QString &date,
                           const QStringList &members, const QList<RatedItem> &items)
{
    Control help = ctl(u"mainhelpwindow"_s);
    progress_->setRange(0, int(members.size()));
    progress_->setValue(0);

    SuiteDb daily(u"daily.mdb"_s);
    const QString insert = u"insert into ardaily ("_s + columns.join(u", "_s) + u") values (?"_s
        + u", ?"_s.repeated(RowColumns - 1) + u')';
    // What every row of the run shares; chit, member and item change.
    QVariantList row {
        {},        {},        date,   {},           qint16(0),  qint16(0),
        {},        {},        {},     {},           qint16(0),  qint16(0),
        qint16(0), qint16(0), u" "_s, u"AutoGen"_s, memoText(), qint16(GeneratedSource)
    };
    // The charges differ from member to member only by the member's own exemption.
    const ChargeRules rules = chargeRules();
    const QList<ItemAmounts> taxed = bundleAmounts(items, rules, false);
    const QList<ItemAmounts> exempt = bundleAmounts(items, rules, true);

    int written = 0;
    // The bar and the text are set only when painted: a progress bar repaints at once
    // whenever its value changes.
    QElapsedTimer painted;
    for (const QString &entry : members) {
        const double member = memberNumber(entry);
        const QString chit = drawChitNumber();
        row[1] = chit;
        row[3] = member;
        if (!storeChit(daily, insert, row, items, isTaxExempt(entry) ? exempt : taxed)) {
            progress_->setValue(written);
            reportStop(written, entry);
            return;
        }
        ++written;
        if (!painted.isValid() || painted.elapsed() >= RepaintMs || written == members.size()) {
            help.setText(
                progressText(chit, member, items.isEmpty() ? BundleItem() : items.last().item));
            progress_->setValue(written);
            DoEvents();
            painted.start();
        }
    }
    daily.close();
    DoEvents();
    help.setText(u"Charges generated."_s);
    DoEvents();
}

} // namespace tallic
