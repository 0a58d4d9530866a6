// Generate Chits: the bundle's items written as chits for every listed member.
#include "generationdriver.h"

#include "basic/chit.h"
#include "basic/chitdates.h"
#include "basic/masks.h"
#include "basic/numbers.h"
#include "generation.h"
#include "listfiles.h"
#include "platform/platform.h"
#include "platform/runtime.h"
#include "store/dailycolumns.h"
#include "store/database.h"
#include "store/datasource.h"
#include "store/generationlock.h"
#include "store/logsync.h"
#include "store/sqlitefiles.h"
#include "suite/arsettings.h"
#include "suite/chitnumbers.h"
#include "suite/messages.h"
#include "suite/sharedstate.h"
#include "suite/staff.h"
#include "suite/today.h"
#include "suite/unresolved.h"

#include <QElapsedTimer>
#include <QSqlRecord>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

const QString SharedDateAdvice = u"You should notify this user that you are\nadding "
                                 u"transactions to the date he/she is\nalso currently using."_s;

const QString NothingWritten = u"No chits written."_s;

// Painting after every chit would cost more than writing it; this often the progress
// still moves smoothly.
constexpr int RepaintMs = 50;

// Stored also when empty: a generated row's memo is never left unset.
QString storedMemo(const QString &memo)
{
    return memo.isNull() ? u""_s : memo;
}

// The chit date: the entry screen's, else the operator's answer; empty when none.
QString askChitDate(const QString &keyed)
{
    if (!keyed.isEmpty())
        return keyed;
    platform().clearClipboard();
    DoEvents();
    const QString answer
        = InputBox(u"Enter the date for these generated chits\nin YYYYMMDD format.\n\n"
                   u"Press ENTER to accept the current date."_s,
                   u"Set Date To Use"_s, QString::number(SetToday().TodayNumber));
    return generationDate(answer, platform().today().year());
}

// The bundle as saved. Read once for the whole run, so that every member is charged the
// same items even if another workstation saves its bundle meanwhile.
Result<QList<RatedItem>> readBundle()
{
    const Result<QStringList> lines = readListFile(u"bundle1.ini"_s);
    if (!lines)
        return lines.failure();
    QList<RatedItem> items;
    for (const QString &line : *lines)
        items.append({ parseBundleLine(line), 0, 0 });
    return items;
}

// The rates of an item's account: when one cannot be read, no member's chit could be
// written whole.
Result<void> readRates(SuiteDb &ar, RatedItem &rated)
{
    const QString account = rated.item.accountField;
    Result<QSqlQuery> read
        = ar.query(u"select * from ar0 where aracctnum = "_s + shortestNumber(rated.item.account));
    const bool found = read && read->next();
    if (!read || read->lastError().isValid()) {
        // A table that cannot be read is not an account without rates.
        Failure failure = read ? dbFailure(read->lastError(), ar.fileName()) : read.failure();
        failure.description = u"The A/R rates (ar0) of account "_s + account
            + u" could not be read: "_s + failure.description;
        return failure;
    }
    const QSqlQuery &rates = *read;
    if (!found) {
        return Failure { JetError::NoCurrentRecord,
                         u"Account "_s + account + u" has no A/R rates (ar0)."_s, ar.fileName() };
    }
    // A null rate reads as 0.
    rated.scRate = rates.value(u"arsrvchg"_s).toDouble();
    rated.taxRate = rates.value(u"arsalestax"_s).toDouble();
    return {};
}

// What every row of a run shares; chit, member and item change.
QVariantList sharedRow(const QString &date, const QString &memo)
{
    QVariantList row(DailyColumn::Count);
    row[DailyColumn::ChitDate] = date;
    row[DailyColumn::Employee] = qint16(0);
    row[DailyColumn::Covers] = qint16(0);
    for (int i = DailyColumn::FirstReserved; i <= DailyColumn::LastReserved; ++i)
        row[i] = qint16(0);
    row[DailyColumn::ReservedText] = u" "_s;
    row[DailyColumn::Origin] = u"AutoGen"_s;
    row[DailyColumn::Memo] = memo;
    row[DailyColumn::Source] = qint16(DailyColumn::EntrySource);
    return row;
}

// The listed members whose record exempts them from tax, as it stands now: a flag changed
// since a member was listed counts, however he was listed. One statement a run.
Result<QSet<qint64>> readExemptMembers()
{
    SuiteDb master(u"master.mdb"_s);
    Result<QSqlQuery> query
        = master.query(u"select acctnumber from acctinfo where taxexempt = 1"_s);
    if (!query)
        return query.failure();
    QSet<qint64> exempt;
    while (query->next())
        exempt.insert(memberKey(query->value(0).toDouble()));
    if (query->lastError().isValid())
        return dbFailure(query->lastError(), master.fileName());
    return exempt;
}

// The names of ardaily's first columns, which a chit's row fills by position; the failure
// when the table cannot be read or lacks them.
Result<QStringList> rowColumns()
{
    SuiteDb daily(u"daily.mdb"_s);
    Result<QSqlQuery> layout
        = daily.query(u"select * from ardaily where tallicnum = 'FaGb#@HDJx'"_s);
    if (!layout)
        return layout.failure();
    const QSqlRecord record = layout->record();
    layout->finish();
    if (record.count() < DailyColumn::Count) {
        return Failure { JetError::NoSuchColumn,
                         u"The ardaily table lacks the columns of a chit."_s, daily.fileName() };
    }
    QStringList names;
    for (int i = 0; i < DailyColumn::Count; ++i)
        names << record.fieldName(i);
    return names;
}

// The rows generated chits already hold for this date, with their members and memos; the
// failure too: a look-up that failed halfway must not read as "not billed".
Result<QList<BilledRow>> billedRows(const QStringList &columns, const QString &date)
{
    SuiteDb daily(u"daily.mdb"_s);
    // The memos are compared here, alike on every engine: the engines fold letter case
    // differently.
    Result<QSqlQuery> query
        = daily.query(u"select distinct %1, %2 from ardaily where %3 = 'AutoGen' and %4 = ?"_s.arg(
                          columns.at(DailyColumn::Member), columns.at(DailyColumn::Memo),
                          columns.at(DailyColumn::Origin), columns.at(DailyColumn::ChitDate)),
                      { Val(date) });
    if (!query)
        return query.failure();
    QList<BilledRow> billed;
    while (query->next())
        billed.append({ query->value(0).toDouble(), query->value(1).toString() });
    if (query->lastError().isValid())
        return dbFailure(query->lastError(), daily.fileName());
    return billed;
}

// One member's chit: the rows of every item and the write's key in one transaction, stored
// whole or not at all. The row holds the chit's own values already.
WriteResult storeChit(const QString &key, const QString &insert, QVariantList &row,
                      const QList<RatedItem> &items, const QList<ItemAmounts> &amounts)
{
    const QString description = u"chit "_s + row[DailyColumn::ChitNumber].toString()
        + u" for member "_s + shortestNumber(row[DailyColumn::Member].toDouble());
    return storeKeyed(key, description, [&](SuiteDb &daily) -> Result<void> {
        for (qsizetype i = 0; i < items.size(); ++i) {
            const ItemAmounts &amount = amounts.at(i);
            row[DailyColumn::GlAccount] = items.at(i).item.account;
            row[DailyColumn::BaseSale] = amount.base.toDouble();
            row[DailyColumn::ServiceCharge] = amount.serviceCharge.toDouble();
            row[DailyColumn::Tax] = amount.tax.toDouble();
            row[DailyColumn::Total] = amount.total.toDouble();
            if (const Result<int> stored = daily.execPrepared(insert, row); !stored)
                return stored.failure();
        }
        return {};
    });
}

} // namespace

GenerationDriver::GenerationDriver(GenerationWindow &window)
    : window_(window)
{
}

void GenerationDriver::run()
{
    window_.resetProgress();
    if (!window_.saveLists()) {
        window_.say(NothingWritten);
        return;
    }
    DoEvents();
    // What the server left untold of the workstation's writes is settled first: whether a
    // member is billed already is asked of what is stored.
    settlePendingWrites();
    const QString date = chooseDate();
    if (date.isEmpty())
        return;

    // What the run will write is on the screen before the operator confirms it.
    std::optional<GenerationRun> run = readRun(date, window_.members());
    if (!run)
        return;
    window_.say(
        summaryText(summarizeRun(run->items, run->members, window_.chargeRules(), run->exempt)));
    if (!AskYesNo(u"Click YES to generate, click NO to cancel now."_s, u"Please confirm..."_s)) {
        window_.focusExit();
        return;
    }
    if (window_.bundleEmpty() || run->members.isEmpty()) {
        MsgBox(window_.bundleEmpty()
                   ? u"Unable to generate chits. There are no items to create."_s
                   : u"Unable to generate chits. There are no member accounts selected."_s,
               BoxButtons::Ok, BoxIcon::Information, u"Oops..."_s);
        return;
    }
    // The look for members billed already and the run hold the date and memo's lock: two
    // workstations cannot both find them unbilled.
    GenerationLock lock;
    if (!lockRun(lock, run->date) || !notBilledAgain(*run))
        return;

    // Nothing may change the lists or close the window while rows are written.
    window_.setCommandsAvailable(false);
    writeChits(*run);
    window_.setCommandsAvailable(true);
}

QString GenerationDriver::chooseDate()
{
    const QString date = askChitDate(window_.keyedDate());
    if (date.isEmpty())
        return date;
    // Generated chits obey the same period rules as keyed ones.
    const DateVerdict verdict
        = checkChitDate(toLong(Val(date)), window_.settings().ArYear, window_.settings().ArMonth,
                        session().AccessLevel, platform().today().year());
    if (verdict != DateVerdict::Accepted) {
        MsgBox(dateRefusalText(verdict), BoxButtons::Ok, BoxIcon::Information,
               u"Date entered: "_s + date);
        return QString();
    }
    warnOfSharedDate(date, SharedDateAdvice);
    return date;
}

std::optional<GenerationRun> GenerationDriver::readRun(const QString &date,
                                                       const QStringList &members)
{
    GenerationRun run { date, members, {}, {}, {} };
    const Result<QList<RatedItem>> items = readBundle();
    if (!items)
        return reportStop(items.failure(), NothingWritten);
    run.items = *items;
    if (!members.isEmpty()) {
        SuiteDb ar(u"ar.mdb"_s);
        for (RatedItem &rated : run.items) {
            if (const Result<void> read = readRates(ar, rated); !read)
                return reportStop(read.failure(),
                                  NothingWritten + u" Stopped at account "_s
                                      + rated.item.accountField + u'.');
        }
        const Result<QSet<qint64>> exempt = readExemptMembers();
        if (!exempt)
            return reportStop(exempt.failure(), NothingWritten);
        run.exempt = *exempt;
    }
    return run;
}

bool GenerationDriver::lockRun(GenerationLock &lock, const QString &date)
{
    const Result<GenerationLock::Outcome> taken
        = lock.take(date, storedMemo(window_.memo()), session().UserName);
    if (!taken) {
        reportStop(taken.failure(), NothingWritten);
        return false;
    }
    if (taken->taken)
        return true;
    const QString who = taken->holder.isEmpty()
        ? u"Another workstation"_s
        : u"Another workstation (user "_s + taken->holder + u')';
    MsgBox(who + u" is generating charges for "_s + date
               + u" with the same memo.\nTry again once its chits are written."_s,
           BoxButtons::Ok, BoxIcon::Information, u"Generating elsewhere..."_s);
    window_.say(NothingWritten);
    return false;
}

bool GenerationDriver::notBilledAgain(GenerationRun &run)
{
    // The row is written by column position: the table's own order is the layout.
    const Result<QStringList> columns = rowColumns();
    if (!columns) {
        reportStop(columns.failure(), NothingWritten);
        return false;
    }
    run.columns = *columns;
    // A run repeated by mistake would bill the same members twice.
    const Result<QList<BilledRow>> billed = billedRows(run.columns, run.date);
    if (!billed) {
        reportStop(billed.failure(), NothingWritten);
        return false;
    }
    const qsizetype count = countBilled(run.members, *billed, storedMemo(window_.memo()));
    if (count > 0 && !AskYesNo(alreadyBilledText(count, run.date), u"Already billed..."_s)) {
        window_.focusExit();
        return false;
    }
    return true;
}

std::nullopt_t GenerationDriver::reportStop(const Failure &failure, const QString &stopped)
{
    // A failure that would only recur is told once; the chits written so far stay, and the
    // window says where to resume.
    ReportError(failure);
    window_.say(stopped);
    DoEvents();
    return std::nullopt;
}

void GenerationDriver::writeChits(const GenerationRun &run)
{
    const QStringList &members = run.members;
    const QList<RatedItem> &items = run.items;
    const int count = int(members.size());
    window_.showProgress(0, count);

    const QString insert = u"insert into ardaily ("_s + run.columns.join(u", "_s) + u") values (?"_s
        + u", ?"_s.repeated(DailyColumn::Count - 1) + u')';
    QVariantList row = sharedRow(run.date, storedMemo(window_.memo()));
    // The charges differ from member to member only by the exemption of his record.
    const ChargeRules rules = window_.chargeRules();
    const QList<ItemAmounts> taxed = bundleAmounts(items, rules, false);
    const QList<ItemAmounts> untaxed = bundleAmounts(items, rules, true);

    int written = 0;
    // The bar and the text are set only when painted: a progress bar repaints at once
    // whenever its value changes.
    QElapsedTimer painted;
    for (const QString &entry : members) {
        const double member = memberNumber(entry);
        const QString chit = drawChitNumber();
        row[DailyColumn::ChitNumber] = chit;
        row[DailyColumn::Member] = member;
        const bool exempted = run.exempt.contains(memberKey(member));
        const QString key = newWriteKey();
        WriteResult stored;
        {
            // Each member's chit is told within the time one statement is given.
            const ServerDeadline deadline(answerTimeout(lockWaitLimit()));
            const WriteLabel label(u"chit "_s + chit + u" for member "_s + shortestNumber(member));
            stored = storeChit(key, insert, row, items, exempted ? untaxed : taxed);
        }
        if (!stored.stored()) {
            window_.showProgress(written, count);
            const QString stopped
                = QString::number(written) + u" chits written. Stopped at member "_s + entry + u'.';
            if (stored.outcome == WriteOutcome::Unknown)
                reportUnknownChit(pendingChit(key, chit, member, stored.session), stopped);
            else
                reportStop(stored.failure, stopped);
            return;
        }
        ++written;
        // The chit is stored but may not be on the disk: its box has told so.
        if (!awaitLogSync()) {
            window_.showProgress(written, count);
            window_.say(QString::number(written) + u" chits written. Stopped after member "_s
                        + entry + u'.');
            return;
        }
        checkpointBetweenCommits();
        if (!painted.isValid() || painted.elapsed() >= RepaintMs || written == members.size()) {
            window_.say(
                progressText(chit, member, items.isEmpty() ? BundleItem() : items.last().item));
            window_.showProgress(written, count);
            DoEvents();
            painted.start();
        }
    }
    DoEvents();
    window_.say(u"Charges generated."_s);
    DoEvents();
}

PendingWrite GenerationDriver::pendingChit(const QString &key, const QString &chit, double member,
                                           const ServerSession &session)
{
    PendingWrite write;
    write.key = key;
    write.kind = PendingWrite::Kind::Generated;
    write.chit = chit;
    write.member = shortestNumber(member);
    write.at = QDateTime(platform().today(), platform().timeOfDay());
    write.session = session;
    return write;
}

// The run stops at a member whose chit the server left untold: it is noted on the disk and
// looked up later, never generated again blindly.
void GenerationDriver::reportUnknownChit(const PendingWrite &write, const QString &stopped)
{
    const QString text
        = recordUnknown(write,
                        u"It will be checked when Tallic starts again, or at the next OK "
                        u"on the entry screen."_s);
    MsgBox(text + u"\n\n"_s + stopped, BoxButtons::Ok, BoxIcon::Critical,
           u"Chit outcome unknown"_s);
    window_.say(stopped);
    DoEvents();
}

} // namespace tallic
