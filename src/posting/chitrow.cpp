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

// The row, sized to the table by a key no chit has and filled by position, as DbWrite adds it.
Result<void> addChitRow(const Chit &chit, const QString &startStamp)
{
    QString db = u"daily"_s;
    const Result<DbRow> empty
        = DbRead(db, u"select * from ardaily where tallicnum = '@#$%^&*()'"_s);
    if (!empty)
        return empty.failure();
    if (empty->values.size() <= DailyColumn::Source)
        return Failure { JetError::NoSuchColumn,
                         u"The ardaily table lacks the columns of a chit."_s, db };

    QVariantList row = empty->values;
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

    DbAddNewOn();
    return DbWrite(db, u"select * from ardaily where tallicnum = ?"_s, row,
                   { chit[Field::ChitNumber] });
}

} // namespace

WriteResult StoreChitRow(const Chit &chit, const QString &startStamp, const QString &key)
{
    WriteResult result = storeKeyed(key, u"chit "_s + chit[Field::ChitNumber],
                                    [&](SuiteDb &) { return addChitRow(chit, startStamp); });
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
