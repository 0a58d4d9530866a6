// A chit's row in ardaily.
#include "chitrow.h"

#include "basic/cents.h"
#include "basic/numbers.h"
#include "basic/text.h"
#include "platform/runtime.h"
#include "store/dailycolumns.h"
#include "store/database.h"
#include "store/writekeys.h"

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

// The names of ardaily's columns, as many as a chit fills at least (read once for the
// connection's life: a post sends nothing before its writes).
Result<QStringList> dailyColumns()
{
    SuiteDb daily(u"DAILY.MDB"_s);
    const Result<QStringList> columns = daily.columnsOf(u"ardaily"_s);
    if (columns && columns->size() <= DailyColumn::Source)
        return Failure { JetError::NoSuchColumn,
                         u"The ardaily table lacks the columns of a chit."_s, daily.fileName() };
    return columns;
}

// The chit's row by position, sized to ardaily's columns.
QVariantList chitRow(const Chit &chit, const QString &startStamp, qsizetype columns)
{
    QVariantList row(columns);
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

// The rows of the period alike the chit. The chit number is compared as the index
// ardaily_chitnumber holds it (schema.cpp), so that the look-up reads a few rows of a
// million.
SqlCondition alikeRows(const QStringList &columns, const Chit &chit, const ChitPeriod &period)
{
    const auto name = [&columns](int position) { return u'[' + columns.at(position) + u']'; };
    return { u"upper(trim(tallicnum)) = upper(?) and "_s + name(DailyColumn::Member)
                 + u" = ? and "_s + name(DailyColumn::BaseSale) + u" = ? and "_s
                 + name(DailyColumn::ChitDate) + u" between ? and ?"_s,
             { trimBlanks(chit[Field::ChitNumber]), Val(chit[Field::Member]),
               Val(chit[Field::BaseSale]), period.start, period.end },
             u"chit "_s + trimBlanks(chit[Field::ChitNumber]).toUpper() };
}

} // namespace

WriteResult StoreChitRow(const Chit &chit, const QString &startStamp, const QString &key,
                         const std::optional<ChitPeriod> &unlessAlikeIn)
{
    const Result<QStringList> columns = dailyColumns();
    WriteResult result;
    if (!columns) {
        result.failure = columns.failure();
    } else {
        const QVariantList row = chitRow(chit, startStamp, columns->size());
        SqlCondition guard, onlyIf;
        if (unlessAlikeIn) {
            const SqlCondition alike = alikeRows(*columns, chit, *unlessAlikeIn);
            guard = { u"exists (select 1 from ardaily where "_s + alike.sql + u')', alike.values,
                      alike.name };
            onlyIf = keyAdded(key);
        }
        const auto writes = [&](SuiteDb &) {
            QString db = u"daily"_s;
            DbAddNewOn();
            return DbWrite(db, u"select * from ardaily where tallicnum = ?"_s, row,
                           { chit[Field::ChitNumber] }, onlyIf);
        };
        result = storeKeyed(key, u"chit "_s + chit[Field::ChitNumber], writes,
                            SuiteDb::Writes::WithCommit, guard);
    }
    Failure &failure = result.failure;
    if (result.outcome == WriteOutcome::NotStored && !result.withheld) {
        // A missing file the layer has told the operator of already.
        failure.description = failure.shown
            ? failureReason(JetError::FileNotFound, QString())
            : failureReason(failure.number, failure.description, failure.reason);
    }
    return result;
}

Result<std::optional<AlikeRow>> FindAlikeChit(const Chit &chit, const ChitPeriod &period)
{
    const Result<QStringList> columns = dailyColumns();
    if (!columns)
        return columns.failure();
    const SqlCondition alike = alikeRows(*columns, chit, period);
    SuiteDb daily(u"DAILY.MDB"_s);
    Result<QSqlQuery> found
        = daily.query(u"select ["_s + columns->at(DailyColumn::ChitDate) + u"], ["_s
                          + columns->at(DailyColumn::Origin) + u"] from ardaily where "_s
                          + alike.sql + u" order by rowid limit 1"_s,
                      alike.values);
    if (!found)
        return found.failure();
    if (!found->next())
        return std::optional<AlikeRow>();
    return std::optional<AlikeRow>(
        AlikeRow { toLong(found->value(0).toDouble()), found->value(1).toString() });
}

} // namespace tallic
