// A chit's row in ardaily.
#include "chitrow.h"

#include "basic/numbers.h"
#include "platform/runtime.h"
#include "suite/database.h"
#include "suite/sharedstate.h"

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

// The ardaily row by position; the table's own column order is the layout.
namespace Column {
enum : int {
    GlAccount = 0,
    ChitNumber = 1,
    ChitDate = 2,
    Member = 3,
    Employee = 4,
    Covers = 5,
    BaseSale = 6,
    ServiceCharge = 7,
    Tax = 8,
    ChitTotal = 9,
    FirstReserved = 10,
    LastReserved = 13,
    ReservedText = 14,
    Origin = 15,
    Memo = 16,
    Source = 17,
};
} // namespace Column
constexpr int EntryScreenSource = 9;

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

QString StoreChitRow(const Chit &chit)
{
    SharedState &s = state();

    // A key no chit has sizes the row buffer to the table, every value empty.
    QString db = u"daily"_s;
    DbRead(db, u"select * from ardaily where tallicnum = '@#$%^&*()'"_s);
    if (s.ErrNumber != 0)
        return failureReason(s.ErrNumber, s.ErrDescription);
    if (s.MsgText != u"QUIT"_s && !s.MsgText.isEmpty()) {
        // The layer has told the operator that the file is missing.
        return failureReason(JetError::FileNotFound, QString());
    }
    if (s.RowValues.size() <= Column::Source)
        return u"The ardaily table lacks the columns of a chit."_s;

    QVariantList &row = s.RowValues;
    row[Column::GlAccount] = Val(chit[Field::GlAccount]);
    row[Column::ChitNumber] = chit[Field::ChitNumber];
    row[Column::ChitDate] = Val(chit[Field::ChitDate]);
    row[Column::Member] = Val(chit[Field::Member]);
    row[Column::Employee] = Val(chit[Field::Employee]);
    row[Column::Covers] = Val(chit[Field::Covers]);
    row[Column::BaseSale] = Val(chit[Field::BaseSale]);
    row[Column::ServiceCharge] = Val(chit[Field::ServiceCharge]);
    row[Column::Tax] = Val(chit[Field::Tax]);
    // The total is the sum of the amounts, whatever the total field shows.
    row[Column::ChitTotal]
        = Val(chit[Field::BaseSale]) + Val(chit[Field::ServiceCharge]) + Val(chit[Field::Tax]);
    for (int i = Column::FirstReserved; i <= Column::LastReserved; ++i)
        row[i] = 0;
    row[Column::ReservedText] = u" "_s;
    row[Column::Origin] = s.StartStamp.left(15);
    if (!chit.memo.isEmpty())
        row[Column::Memo] = chit.memo;
    row[Column::Source] = EntryScreenSource;

    DbAddNewOn();
    const DbWriteOutcome written
        = DbWrite(db, u"select * from ardaily where tallicnum = ?"_s, { chit[Field::ChitNumber] });
    if (!written.saved)
        return failureReason(written.number, written.description);
    if (!chit.memo.isEmpty())
        s.LastMemoText = chit.memo;
    return QString();
}

} // namespace tallic
