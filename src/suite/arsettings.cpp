#include "arsettings.h"

#include "basic/numbers.h"
#include "platform/platform.h"
#include "platform/runtime.h"
#include "sharedstate.h"
#include "store/database.h"

#include <limits>
#include <optional>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

// A value that does not fit the setting's type is the language's overflow, which ends the
// start like any run-time failure: a wrapped level or month would let the wrong people
// in or key into the wrong month.
const Failure Overflow { 6, u"Overflow"_s };

Result<qint16> integerColumn(const DbRow &row, int position,
                             int lowest = std::numeric_limits<qint16>::min(),
                             int highest = std::numeric_limits<qint16>::max())
{
    const std::optional<qint16> value = convertToInteger(row.number(position));
    if (!value || *value < lowest || *value > highest)
        return Overflow;
    return *value;
}

// The first row of a configuration table with the columns up to lastPosition: a column
// the row does not hold is a run-time failure, as reading past the end of the buffer
// would be; so is a missing database, once the operator has been told of it. A database
// missing for a reason the box gave (a server out of reach, a certificate that does not
// match, settings that cannot be used) is not the configuration's fault: its box is all.
Result<DbRow> configRow(const QString &statement, int lastPosition)
{
    QString db = u"config"_s;
    Result<DbRow> row = DbRead(db, statement);
    if (!row && row.failure().shown && !row.failure().reason.isEmpty())
        return row;
    if ((!row && row.failure().shown) || (row && row->values.size() <= lastPosition))
        return Failure { 9, u"Subscript out of range"_s, db };
    return row;
}

// The texts of the function keys, columns 27 to 38; a date word becomes today's date.
FunctionKeyTexts functionKeyTexts(const DbRow &ar)
{
    FunctionKeyTexts texts {};
    for (int key = 1; key <= 12; ++key)
        texts[key] = ar.text(26 + key);
    DoEvents();
    const QString today = QString::number(SetToday().TodayNumber).rightJustified(8, u'0');
    for (QString &text : texts) {
        if (text == u"MMDDYYYY"_s || text == u"YYYYMMDD"_s)
            text = today;
    }
    return texts;
}

// The settings of the ar row by position.
Result<ArSettings> fromArRow(const DbRow &ar)
{
    ArSettings s;
    for (int i = 0; i < 4; ++i) {
        const Result<qint16> limit = integerColumn(ar, i);
        if (!limit)
            return limit.failure();
        s.LevelLimits[i] = *limit;
    }
    const Result<qint16> month = integerColumn(ar, 22, 1, 12);
    const Result<qint16> validity = integerColumn(ar, 19);
    const std::optional<qint32> year = convertToLong(ar.number(48));
    if (!month || !validity || !year)
        return Overflow;
    s.ArMonth = *month;
    s.ValidityMode = *validity;
    s.ArYear = *year;
    s.TaxServiceCharge = ar.text(7) == u"Y"_s;
    s.ScTaxableShare = float(ar.number(25));
    s.ArAccount = ar.number(4);
    s.ScTaxBasis = ar.text(39);
    QString skips = ar.text(47);
    if (skips.isEmpty())
        skips = u"0000000000"_s;
    s.SkipGlCheck = qint16(Val(skips.mid(0, 1))) != 0;
    s.SkipMemberCheck = qint16(Val(skips.mid(1, 1))) != 0;
    s.SkipEmpCheck = qint16(Val(skips.mid(2, 1))) != 0;
    s.FunctionKeyText = functionKeyTexts(ar);
    s.ConsolidationMode = ar.text(26).toUpper();
    return s;
}

// A Null consolidation column is set to "N". Only that column is written back; the row's
// other positions stay empty, so the write leaves them Null. A write that ended quietly
// is let go, as the suite's modules do.
Result<void> writeConsolidationOff(const DbRow &ar)
{
    QVariantList row(ar.values.size());
    row[26] = u"N"_s;
    QString db = u"config"_s;
    const Result<void> written = DbWrite(db, u"select * from ar"_s, row);
    if (!written && !written.failure().quiet)
        return written;
    return {};
}

} // namespace

ChargeSettings ArSettings::chargeSettings() const
{
    return { consolidating(), TaxServiceCharge, ScTaxableShare, ScTaxBasis, CompanyTaxRate };
}

Result<ArSettings> readArSettings()
{
    const Result<DbRow> ar = configRow(u"select * from ar"_s, 48);
    DoEvents();
    if (!ar)
        return ar.failure();
    Result<ArSettings> read = fromArRow(*ar);
    if (!read)
        return read;
    ArSettings &s = *read;
    if (ar->isNull(26)) {
        if (const Result<void> written = writeConsolidationOff(*ar); !written)
            return written.failure();
        s.ConsolidationMode = u"N"_s;
    }
    DoEvents();
    if (platform().fileExists(u"pontiq.exe"_s))
        s.ConsolidationMode = u"N"_s;

    const Result<DbRow> pos = configRow(u"select empvalidate from pos"_s, 0);
    const Result<qint16> empValidate = pos ? integerColumn(*pos, 0) : Result<qint16>(pos.failure());
    if (!empValidate)
        return empValidate.failure();
    s.EmpValidate = employeeLookup(*empValidate);
    const Result<DbRow> gl = configRow(u"select * from gl"_s, 7);
    if (!gl)
        return gl.failure();
    s.ProfitAccount = gl->number(7);
    const Result<DbRow> company = configRow(u"select salestax from company"_s, 0);
    if (!company)
        return company.failure();
    s.CompanyTaxRate = float(company->number(0));
    DbFreeLocks();
    DoEvents();
    return read;
}

QString startRefusal(const Session &session, const ArSettings &settings)
{
    if (session.UserName.isEmpty() || session.LaunchCode != u"KQV"_s)
        return u"This module cannot be run by itself.\nClick OK to exit..."_s;
    if (session.AccessLevel < settings.LevelLimits[0])
        return u"Access denied. See system administrator.\nClick OK to exit..."_s;
    // A new club's configuration leaves both accounts to the office: chits keyed to them
    // would never be refused.
    QStringList unset;
    if (settings.ArAccount == 0)
        unset << u"the A/R account (ar-account)"_s;
    if (settings.ProfitAccount == 0)
        unset << u"the current-profit account (profit-account)"_s;
    if (unset.isEmpty())
        return QString();
    return u"The club's settings are not complete: "_s + unset.join(u" and "_s)
        + (unset.size() > 1 ? u" are"_s : u" is"_s)
        + u" not set.\nSet them with tallic-club settings, then start again.\nClick OK to "
          u"exit..."_s;
}

} // namespace tallic
