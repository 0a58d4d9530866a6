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

const QString NothingWritten = u"No chits written."_s;

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
// read, and the account it stopped at: no member's chit could be written whole.
bool readRates(QList<RatedItem> &items, QString &stoppedAt)
{
    SuiteDb ar(u"ar.mdb"_s);
    for (RatedItem &rated : items) {
        stoppedAt = rated.item.accountField;
        QSqlQuery rates = ar.query(u"select * from ar0 where aracctnum = "_s
                                   + shortestNumber(rated.item.account));
        const bool found = !ar.failed() && rates.next();
        const QSqlError failure = ar.failed() ? ar.error() : rates.lastError();
        if (failure.isValid()) {
            // A table that cannot be read is not an account without rates.
            passOnDbError(failure);
            setError(state().ErrNumber,
                     u"The A/R rates (ar0) of account "_s + stoppedAt + u" could not be read: "_s
                         + state().ErrDescription);
            return false;
        }
        if (!found) {
            setError(JetError::NoCurrentRecord,
                     u"Account "_s + stoppedAt + u" has no A/R rates (ar0)."_s);
            return false;
        }
        // A null rate reads as 0.
        rated.scRate = rates.value(u"arsrvchg"_s).toDouble();
        rated.taxRate = rates.value(u"arsalestax"_s).toDouble();
    }
    return true;
}

// The listed members whose record exempts them from tax, as it stands now: a flag changed
// since a member was listed counts, however he was listed. One statement a run.
bool readExemptMembers(QSet<qint64> &exempt)
{
    SuiteDb master(u"master.mdb"_s);
    QSqlQuery query = master.query(u"select acctnumber from acctinfo where taxexempt = 1"_s);
    while (!master.failed() && query.next())
        exempt.insert(memberKey(query.value(0).toDouble()));
    const QSqlError failure = master.failed() ? master.error() : query.lastError();
    if (failure.isValid()) {
        passOnDbError(failure);
        return false;
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

// The rows generated chits already hold for this date, with their members and memos; false
// with the failure passed on: a look-up that failed halfway must not read as "not billed".
bool billedRows(const QStringList &columns, const QString &date, QList<BilledRow> &billed)
{
    SuiteDb daily(u"daily.mdb"_s);
    // The memos are compared here, alike on every engine: the engines fold letter case
    // differently.
    QSqlQuery query = daily.query(
        u"select distinct %1, %2 from ardaily where %3 = 'AutoGen' and %4 = ?"_s.arg(
            columns.at(MemberColumn), columns.at(MemoColumn), columns.at(OriginColumn),
            columns.at(DateColumn)),
        { Val(date) });
    while (!daily.failed() && query.next())
        billed.append({ query.value(0).toDouble(), query.value(1).toString() });
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
    // A list that cannot be saved would leave the old file to be billed.
    if (!saveList(Bundle, u"Bundle saved."_s) || !saveList(Members, u"Member list saved."_s)) {
        ctl(u"mainhelpwindow"_s).setText(NothingWritten);
        return;
    }
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
    QSet<qint64> exempt;
    QString account;
    if (!readBundle(items)) {
        reportStop(NothingWritten);
        return;
    }
    if (!members.isEmpty() && !readRates(items, account)) {
        reportStop(NothingWritten + u" Stopped at account "_s + account + u'.');
        return;
    }
    if (!members.isEmpty() && !readExemptMembers(exempt)) {
        reportStop(NothingWritten);
        return;
    }
    ctl(u"mainhelpwindow"_s)
        .setText(summaryText(summarizeRun(items, members, chargeRules(), exempt)));

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
    QList<BilledRow> billed;
    if (columns.isEmpty() || !billedRows(columns, date, billed)) {
        reportStop(NothingWritten);
        return;
    }
    if (const qsizetype count = countBilled(members, billed, memoText()); count > 0) {
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
    writeChits(columns, date, members, items, exempt);
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

void Frmbundle::reportStop(const QString &stopped)
{
    // A failure that would only recur is told once; the chits written so far stay, and the
    // window says where to resume.
    ReportError();
    clearError();
    ctl(u"mainhelpwindow"_s).setText(stopped);
    DoEvents();
}

void Frmbundle::writeChits(const QStringList &columns, const QString &date,
                           const QStringList &members, const QList<RatedItem> &items,
                           const QSet<qint64> &exempt)
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
    // The charges differ from member to member only by the exemption of his record.
    const ChargeRules rules = chargeRules();
    const QList<ItemAmounts> taxed = bundleAmounts(items, rules, false);
    const QList<ItemAmounts> untaxed = bundleAmounts(items, rules, true);

    int written = 0;
    // The bar and the text are set only when painted: a progress bar repaints at once
    // whenever its value changes.
    QElapsedTimer painted;
    for (const QString &entry : members) {
        const double member = memberNumber(entry);
        const QString chit = drawChitNumber();
        row[1] = chit;
        row[3] = member;
        const bool exempted = exempt.contains(memberKey(member));
        if (!storeChit(daily, insert, row, items, exempted ? untaxed : taxed)) {
            progress_->setValue(written);
            reportStop(QString::number(written) + u" chits written. Stopped at member "_s + entry
                       + u'.');
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
