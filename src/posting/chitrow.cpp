// A chit's row in ardaily.
#include "chitrow.h"

#include "basic/numbers.h"
#include "platform/runtime.h"
#include "suite/dailycolumns.h"
#include "suite/database.h"

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

// What the operator is told about a failure the database layer numbered.
QString failureReason(qint32 number, const QString &description)
{
    QString reason;
    switch (number) {
    case JetError::FileNotFound:
        reason = u"The daily database is missing."_s;
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

} // namespace

Result<void> StoreChitRow(const Chit &chit, const QString &startStamp)
{
    // A key no chit has sizes the row to the table, every value empty.
    QString db = u"daily"_s;
    const Result<DbRow> empty
        = DbRead(db, u"select * from ardaily where tallicnum = '@#$%^&*()'"_s);
    if (!empty) {
        const Failure &failure = empty.failure();
        // A missing file the layer has told the operator of already.
        return Failure { failure.number,
                         failure.shown ? failureReason(JetError::FileNotFound, QString())
                                       : failureReason(failure.number, failure.description),
                         db };
    }
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
    row[DailyColumn::BaseSale] = Val(chit[Field::BaseSale]);
    row[DailyColumn::ServiceCharge] = Val(chit[Field::ServiceCharge]);
    row[DailyColumn::Tax] = Val(chit[Field::Tax]);
    // The total is the sum of the amounts, whatever the total field shows.
    row[DailyColumn::Total]
        = Val(chit[Field::BaseSale]) + Val(chit[Field::ServiceCharge]) + Val(chit[Field::Tax]);
    for (int i = DailyColumn::FirstReserved; i <= DailyColumn::LastReserved; ++i)
        row[i] = 0;
    row[DailyColumn::ReservedText] = u" "_s;
    row[DailyColumn::Origin] = startStamp.left(15);
    if (!chit.memo.isEmpty())
        row[DailyColumn::Memo] = chit.memo;
    row[DailyColumn::Source] = DailyColumn::EntrySource;

    DbAddNewOn();
    const Result<void> written = DbWrite(db, u"select * from ardaily where tallicnum = ?"_s, row,
                                         { chit[Field::ChitNumber] });
    if (!written) {
        const Failure &failure = written.failure();
        return Failure { failure.number, failureReason(failure.number, failure.description), db };
    }
    return {};
}

} // namespace tallic
