#include "workday.h"

#include "basic/masks.h"
#include "basic/modewords.h"
#include "basic/numbers.h"
#include "basic/postingrules.h"
#include "platform/platform.h"
#include "proof.h"
#include "store/database.h"
#include "store/logsync.h"
#include "suite/arsettings.h"
#include "suite/messages.h"
#include "suite/sharedstate.h"
#include "suite/unresolved.h"

#include <QSet>
#include <QSqlRecord>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace tallic::workspace {

namespace {

// Where the editor's lines in the activity log say they come from: the suite's name for it.
const QString LogLocation = u"Prastle"_s;

// A failure of the database layer in the engine's own words, or in the layer's.
QString failureText(const Failure &failure)
{
    QString text = failure.engineText.trimmed();
    if (!failure.reason.isEmpty() && !text.contains(failure.reason))
        text += u' ' + failure.reason;
    return text.isEmpty() ? failure.fullText() : text;
}

// A row for the activity log: every column by name, on one line.
QString rowText(const QStringList &columns, const QVariantList &values)
{
    QStringList parts;
    for (qsizetype i = 0; i < columns.size(); ++i) {
        const QVariant value = values.value(i);
        QString shown;
        if (value.isNull())
            shown = u"Null"_s;
        else if (value.typeId() == QMetaType::QString)
            shown = u'"' + value.toString().replace(u'\r', u' ').replace(u'\n', u' ') + u'"';
        else
            shown = shortestNumber(value.toDouble());
        parts << columns.at(i) + u'=' + shown;
    }
    return parts.join(u", "_s);
}

bool flagSet(const QVariant &value)
{
    return !value.isNull() && value.toDouble() == 1.0;
}

} // namespace

Workday::Workday(const QString &user)
    : user_(user.trimmed().toUpper())
{
}

bool Workday::load(qint32 date)
{
    date_ = date;
    problem_.clear();
    // What the server left untold of this workstation's writes is told before the rows are
    // read, which then show it.
    useLogIdentity();
    for (const Resolution &resolution : resolvePendingWrites())
        resolutions_ << resolutionText(resolution);
    columns_.clear();
    rows_.clear();
    batches_.clear();
    if (!readSettings() || !readRows(date, columns_, rows_)) {
        columns_.clear();
        rows_.clear();
        return false;
    }
    batches_ = batchesOf(rows_, settings_.validityMode);
    return true;
}

bool Workday::readSettings()
{
    // The entry screen's own reading, so that a correction charges as the post did.
    const Result<ArSettings> ar = readArSettings();
    if (!ar) {
        problem_ = failureText(ar.failure());
        return false;
    }
    EditorSettings s;
    s.editorLevel = ar->LevelLimits[3];
    s.validityMode = ar->ValidityMode;
    s.arMonth = ar->ArMonth;
    s.arYear = ar->ArYear;
    s.charges = ar->chargeSettings();
    SuiteDb config(u"config.mdb"_s);
    Result<QSqlQuery> company = config.query(u"select coname from company"_s);
    if (!company) {
        problem_ = failureText(company.failure());
        return false;
    }
    if (company->next())
        s.clubName = company->value(0).toString().trimmed();
    settings_ = s;
    return true;
}

bool Workday::readRows(qint32 date, QStringList &columns, QList<DayRow> &rows)
{
    SuiteDb daily(u"daily.mdb"_s);
    Result<QSqlQuery> read = daily.query(u"select *, rowid from ardaily where architdate = "_s
                                         + QString::number(date) + u" order by arorigin, rowid"_s);
    if (!read) {
        problem_ = failureText(read.failure());
        return false;
    }
    QSqlQuery &query = *read;
    const QSqlRecord record = query.record();
    const int count = record.count() - 1;
    for (int i = 0; i < count; ++i)
        columns << record.fieldName(i);
    while (query.next()) {
        DayRow row;
        for (int i = 0; i < count; ++i)
            row.values << query.value(i);
        row.locator = query.value(count);
        rows << row;
    }
    if (query.lastError().isValid()) {
        problem_ = query.lastError().text();
        return false;
    }
    if (count <= Column::Memo) {
        problem_ = u"The ardaily table lacks the columns of a chit."_s;
        return false;
    }
    return true;
}

Correction Workday::propose(int row, AmountColumn column, Cents typed, bool adjustmentCharges)
{
    const DayRow &chit = rows_.at(row);
    CorrectionBasis basis;
    basis.chitNumber = chit.text(Column::ChitNumber);
    basis.stored = chit.amounts();
    basis.settings = settings_.charges;
    basis.adjustmentCharges = adjustmentCharges;
    Correction unreadable;
    unreadable.verdict = Correction::Verdict::Unreadable;
    {
        SuiteDb ar(u"ar.mdb"_s);
        Result<QSqlQuery> read = ar.query(u"select * from ar0 where aracctnum = "_s
                                          + shortestNumber(chit.number(Column::GlAccount)));
        const bool found = read && read->next();
        if (!read || read->lastError().isValid()) {
            problem_ = !read ? failureText(read.failure()) : read->lastError().text();
            return unreadable;
        }
        const QSqlQuery &rates = *read;
        if (!found) {
            Correction none;
            none.verdict = Correction::Verdict::NoAccountRates;
            return none;
        }
        basis.scRate = rates.value(7).toDouble();
        basis.taxRate = rates.value(8).toDouble();
    }
    const double member = chit.number(Column::Member);
    if (member != 0) {
        // The member's flags as they are now; a sub-account is its own record.
        SuiteDb master(u"master.mdb"_s);
        Result<QSqlQuery> read = master.query(u"select * from acctinfo where acctnumber between "_s
                                              + shortestNumber(member - 0.001) + u" and "_s
                                              + shortestNumber(member + 0.001));
        if (!read || (!read->next() && read->lastError().isValid())) {
            problem_ = !read ? failureText(read.failure()) : read->lastError().text();
            return unreadable;
        }
        const QSqlQuery &account = *read;
        if (account.isValid()) {
            basis.exempt = flagSet(account.value(u"taxexempt"_s));
            basis.terminated = flagSet(account.value(u"terminated"_s));
        }
    }
    return correctAmount(basis, column, typed);
}

Workday::Change Workday::correct(int row, const Amounts &after)
{
    QVariantList values = rows_.at(row).values;
    values[Column::BaseSale] = after.base.toDouble();
    values[Column::ServiceCharge] = after.serviceCharge.toDouble();
    values[Column::Tax] = after.tax.toDouble();
    values[Column::Total] = after.total.toDouble();
    const auto name = [this](int column) { return u'[' + columns_.at(column) + u']'; };
    return change(row,
                  u"update ardaily set %1 = ?, %2 = ?, %3 = ?, %4 = ?"_s.arg(
                      name(Column::BaseSale), name(Column::ServiceCharge), name(Column::Tax),
                      name(Column::Total)),
                  { values[Column::BaseSale], values[Column::ServiceCharge], values[Column::Tax],
                    values[Column::Total] },
                  values);
}

Workday::Change Workday::deleteRow(int row)
{
    return change(row, u"delete from ardaily"_s, {}, {});
}

Workday::Change Workday::change(int row, const QString &action, const QVariantList &values,
                                const QVariantList &after)
{
    const QString chit
        = u"chit "_s + rows_.at(row).text(Column::ChitNumber) + u" of "_s + QString::number(date_);
    return changeRows(
        { { row, action, values, after, after.isEmpty() ? u"deleted"_s : u"corrected"_s } },
        (after.isEmpty() ? u"deletion of "_s : u"correction of "_s) + chit, chit, QString());
}

QList<int> Workday::rowsOfBatch(const QString &origin) const
{
    QList<int> rows;
    for (int i = 0; i < rows_.size(); ++i) {
        if (rows_.at(i).text(Column::Origin) == origin)
            rows << i;
    }
    return rows;
}

Workday::Change Workday::deleteBatch(const QString &origin)
{
    const QString batch = u"batch "_s + origin + u" of "_s + QString::number(date_);
    QList<RowChange> changes;
    for (const int row : rowsOfBatch(origin))
        changes << RowChange { row, u"delete from ardaily"_s, {}, {}, u"deleted with "_s + batch };
    return changeRows(changes, u"deletion of "_s + batch, batch, origin);
}

Workday::Change Workday::moveBatch(const QString &origin, qint32 toDate)
{
    const QString batch = u"batch "_s + origin + u" of "_s + QString::number(date_);
    const QVariant to = double(toDate);
    QList<RowChange> changes;
    for (const int row : rowsOfBatch(origin)) {
        QVariantList after = rows_.at(row).values;
        after[Column::ChitDate] = to;
        changes << RowChange { row,
                               u"update ardaily set ["_s + columns_.at(Column::ChitDate)
                                   + u"] = ?"_s,
                               { to },
                               after,
                               u"moved to %1 with %2"_s.arg(toDate).arg(batch) };
    }
    return changeRows(changes, u"move of "_s + batch + u" to "_s + QString::number(toDate), batch,
                      origin);
}

// The statement that changes a row only as it was read, column for column, at the place it
// was read from.
QString Workday::asRead(const RowChange &change, QVariantList &bound) const
{
    const DayRow &before = rows_.at(change.row);
    QString sql = change.action + u" where rowid = ?"_s;
    bound = change.values;
    bound << before.locator;
    for (qsizetype i = 0; i < columns_.size(); ++i) {
        sql += u" and ["_s + columns_.at(i) + u"] is not distinct from ?"_s;
        bound << before.values.value(i);
    }
    return sql;
}

Result<void> Workday::writeChanges(SuiteDb &daily, const QList<RowChange> &changes,
                                   const QString &batch, Change &refused) const
{
    for (const RowChange &change : changes) {
        QVariantList bound;
        const Result<int> changed = daily.execPrepared(asRead(change, bound), bound);
        if (!changed)
            return changed.failure();
        if (*changed != 1) {
            refused = Change::ChangedMeanwhile;
            return Failure { JetError::NoCurrentRecord, QString() };
        }
        // Logged before it is committed: no change is made that the log does not show.
        const DayRow &before = rows_.at(change.row);
        if (!LogActivity(
                u"Chit "_s + before.text(Column::ChitNumber) + u" of "_s + QString::number(date_)
                + u' ' + change.done + u". Before: "_s + rowText(columns_, before.values)
                + (change.after.isEmpty() ? QString()
                                          : u". After: "_s + rowText(columns_, change.after)))) {
            refused = Change::NotLogged;
            return Failure { JetError::Generic, QString() };
        }
    }
    if (batch.isEmpty())
        return {};
    // A row another workstation added to the batch meanwhile changes the batch too.
    Result<QSqlQuery> left
        = daily.query(u"select count(*) from ardaily where ["_s + columns_.at(Column::Origin)
                          + u"] = ? and ["_s + columns_.at(Column::ChitDate) + u"] = ?"_s,
                      { batch, double(date_) });
    if (!left || !left->next())
        return left ? dbFailure(left->lastError(), daily.fileName()) : left.failure();
    if (left->value(0).toInt() != 0) {
        refused = Change::ChangedMeanwhile;
        return Failure { JetError::NoCurrentRecord, QString() };
    }
    return {};
}

Workday::Change Workday::changeRows(const QList<RowChange> &changes, const QString &description,
                                    const QString &what, const QString &batch)
{
    useLogIdentity();
    Change refused = Change::Failed;
    const QString key = newWriteKey();
    // A failed sync of the commit is told in its own box, which names the change.
    const WriteLabel label(what);
    const WriteResult written = storeKeyed(
        key, description,
        [&](SuiteDb &daily) { return writeChanges(daily, changes, batch, refused); },
        // Whether the rows were the ones read is the change's own answer.
        SuiteDb::Writes::Answered);
    switch (written.outcome) {
    case WriteOutcome::Stored:
        return Change::Done;
    case WriteOutcome::Unknown: {
        PendingWrite write = pendingChange(rows_.at(changes.value(0).row),
                                           changes.value(0).after.isEmpty(), key, written.session);
        if (!batch.isEmpty())
            write.chit += u" and the rest of batch "_s + batch;
        problem_ = recordUnknown(write, u"It will be checked when the chits are read again."_s);
        return Change::Unknown;
    }
    case WriteOutcome::NotStored:
        break;
    }
    if (refused == Change::NotLogged)
        problem_ = u"The activity log (admlog.ini) cannot be written, so nothing was changed."_s;
    if (refused != Change::Failed)
        return refused;
    problem_ = failureText(written.failure);
    (void)LogActivity(what.left(1).toUpper() + what.mid(1) + u": the change above was not made. "_s
                      + problem_);
    return Change::Failed;
}

PendingWrite Workday::pendingChange(const DayRow &before, bool deletion, const QString &key,
                                    const ServerSession &session) const
{
    PendingWrite write;
    write.key = key;
    write.kind = deletion ? PendingWrite::Kind::Deletion : PendingWrite::Kind::Correction;
    write.chit = before.text(Column::ChitNumber);
    write.at = QDateTime(platform().today(), platform().timeOfDay());
    write.session = session;
    return write;
}

void Workday::useLogIdentity() const
{
    Session &s = session();
    s.UserName = user_;
    s.LocationText = LogLocation;
}

QStringList Workday::takeResolutions()
{
    return std::exchange(resolutions_, {});
}

bool Workday::printProof(const QString &path)
{
    // The day as it is now, whatever was read before.
    QStringList columns;
    QList<DayRow> rows;
    problem_.clear();
    if (!readRows(date_, columns, rows))
        return false;
    if (!writeProof(path, { settings_.clubName, date_, settings_.validityMode, rows })) {
        problem_ = u"The proof cannot be written to "_s + path;
        return false;
    }
    return true;
}

} // namespace tallic::workspace
