// A chit's row in ardaily.
#include "chitrow.h"

#include "basic/cents.h"
#include "basic/numbers.h"
#include "platform/runtime.h"
#include "suite/dailycolumns.h"
#include "suite/database.h"
#include "suite/writekeys.h"

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

// What the operator is told about a failure the database layer numbered; a server out of
// reach says so, and why.
QString failureReason(qint32 number, const QString &description, const QString &why = {})
{
    QString reason;
    switch (number) {
    case JetError::FileNotFound:
        reason = why.isEmpty() ? u"The daily database is missing."_s : why;
        break;
    case JetError::NoSuchTable:
        reason = u"The daily database has no ardaily table."_s;
        break;
    case JetError::ReadOnly:
        reason = u"The daily database is read-only."_s;
        break;
    case JetError::DiskFull:
        reason = u"The disk is full."_s;
        break;
    default:
        reason = description.isEmpty() ? u"The database refused the row."_s : description;
        break;
    }
    return reason + u" (code "_s + QString::number(number) + u')';
}

// The chit's row by position, sized to ardaily's columns (as a read of no row would size
// it, but from the columns the connection knows already: a post sends nothing before its
// writes).
Result<QVariantList> chitRow(const Chit &chit, const QString &startStamp)
{
    SuiteDb daily(u"DAILY.MDB"_s);
    const Result<QStringList> columns = daily.columnsOf(u"ardaily"_s);
    if (!columns)
        return columns.failure();
    if (columns->size() <= DailyColumn::Source)
        return Failure { JetError::NoSuchColumn,
                         u"The ardaily table lacks the columns of a chit."_s, daily.fileName() };

    QVariantList row(columns->size());
    row[DailyColumn::GlAccount] = Val(chit[Field::GlAccount]);
    row[DailyColumn::ChitNumber] = chit[Field::ChitNumber];
    row[DailyColumn::ChitDate] = Val(chit[Field::ChitDate]);
    row[DailyColumn::Member] = Val(chit[Field::Member]);
    row[DailyColumn::Employee] = Val(chit[Field::Employee]);
    row[DailyColumn::Covers] = Val(chit[Field::Covers]);
    // Each amount to the cent; the total is their sum, whatever the total field shows.
    const Cents base = Cents::read(chit[Field::BaseSale]);
    const Cents serviceCharge = Cents::read(chit[Field::ServiceCharge]);
    const Cents tax = Cents::read(chit[Field::Tax]);
    row[DailyColumn::BaseSale] = base.toDouble();
    row[DailyColumn::ServiceCharge] = serviceCharge.toDouble();
    row[DailyColumn::Tax] = tax.toDouble();
    row[DailyColumn::Total] = (base + serviceCharge + tax).toDouble();
    for (int i = DailyColumn::FirstReserved; i <= DailyColumn::LastReserved; ++i)
        row[i] = 0;
    row[DailyColumn::ReservedText] = u" "_s;
    row[DailyColumn::Origin] = startStamp.left(15);
    if (!chit.memo.isEmpty())
        row[DailyColumn::Memo] = chit.memo;
    row[DailyColumn::Source] = DailyColumn::EntrySource;
    return row;
}

} // namespace

WriteResult StoreChitRow(const Chit &chit, const QString &startStamp, const QString &key)
{
    const Result<QVariantList> row = chitRow(chit, startStamp);
    WriteResult result;
    if (!row) {
        result.failure = row.failure();
    } else {
        result = storeKeyed(key, u"chit "_s + chit[Field::ChitNumber], [&](SuiteDb &) {
            QString db = u"daily"_s;
            DbAddNewOn();
            return DbWrite(db, u"select * from ardaily where tallicnum = ?"_s, *row,
                           { chit[Field::ChitNumber] });
        });
    }
    Failure &failure = result.failure;
    if (result.outcome == WriteOutcome::NotStored) {
        // A missing file the layer has told the operator of already.
        failure.description = failure.shown
            ? failureReason(JetError::FileNotFound, QString())
            : failureReason(failure.number, failure.description, failure.reason);
    }
    return result;
}

} // namespace tallic
