#include "configuration.h"

#include "basic/masks.h"
#include "basic/numbers.h"
#include "schema.h"

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

using Kind = Setting::Kind;

Setting at(const QString &name, const QString &caption, const QString &table, int position,
           Kind kind, int low = 0, int high = 0, const QStringList &choices = {})
{
    return { name, caption, table, position, {}, kind, low, high, choices, 0 };
}

Setting named(const QString &name, const QString &caption, const QString &table,
              const QString &column, Kind kind, int low = 0, int high = 0)
{
    return { name, caption, table, -1, column, kind, low, high, {}, 0 };
}

Setting check(const QString &name, const QString &caption, int digit)
{
    Setting s = at(name, caption, u"ar"_s, 47, Kind::CheckOn);
    s.digit = digit;
    return s;
}

QList<Setting> makeSettings()
{
    QList<Setting> list {
        at(u"ar-month"_s, u"A/R month"_s, u"ar"_s, 22, Kind::Whole, 1, 12),
        at(u"ar-year"_s, u"A/R year"_s, u"ar"_s, 48, Kind::Whole, 1900, 9999),
        at(u"ar-account"_s, u"A/R account"_s, u"ar"_s, 4, Kind::Account),
        at(u"profit-account"_s, u"current-profit account"_s, u"gl"_s, 7, Kind::Account),
        named(u"sales-tax-rate"_s, u"sales tax rate"_s, u"company"_s, u"salestax"_s, Kind::Rate),
        at(u"service-charge-taxable"_s, u"service charge taxable"_s, u"ar"_s, 7, Kind::YesNo),
        at(u"taxable-share"_s, u"taxable share of the service charge"_s, u"ar"_s, 25, Kind::Rate),
        at(u"tax-basis"_s, u"tax basis of the service charge (S sales tax, D account's rate)"_s,
           u"ar"_s, 39, Kind::Choice, 0, 0, { u"S"_s, u"D"_s }),
        at(u"consolidation"_s, u"chit consolidation (N off, Y or G on)"_s, u"ar"_s, 26,
           Kind::Choice, 0, 0, { u"N"_s, u"Y"_s, u"G"_s }),
        at(u"validity-total"_s,
           u"validity total (0 none, 1 hash, 2 base, 3 hash and base, 4 C+M+B, 5 C+M+E+B)"_s,
           u"ar"_s, 19, Kind::Whole, 0, 5),
        at(u"access-level"_s, u"lowest access level that may key chits"_s, u"ar"_s, 0, Kind::Whole,
           0, 99),
        at(u"eom-editor-level"_s, u"lowest access level that sees the EOM editor"_s, u"ar"_s, 3,
           Kind::Whole, 0, 99),
        named(u"employee-validation"_s,
              u"employee validation (0 employee id, 1 operator #, 2 access #, 3 off)"_s, u"pos"_s,
              u"empvalidate"_s, Kind::Whole, 0, 3),
        check(u"check-gl-account"_s, u"G/L account checked as keyed"_s, 0),
        check(u"check-member"_s, u"member checked as keyed"_s, 1),
        check(u"check-employee"_s, u"employee checked as keyed"_s, 2),
    };
    for (int key = 1; key <= 12; ++key) {
        list << at(u"f"_s + QString::number(key),
                   u"memo text of F"_s + QString::number(key)
                       + u" (YYYYMMDD or MMDDYYYY: today's date)"_s,
                   u"ar"_s, 26 + key, Kind::Text);
    }
    return list;
}

QString flagsText(const QVariant &flags)
{
    QString text = flags.isNull() ? QString() : flags.toString();
    return text.isEmpty() ? u"0000000000"_s : text;
}

} // namespace

const QList<Setting> &configurationSettings()
{
    static const QList<Setting> settings = makeSettings();
    return settings;
}

const Setting *findSetting(const QString &name)
{
    for (const Setting &setting : configurationSettings()) {
        if (setting.name.compare(name, Qt::CaseInsensitive) == 0)
            return &setting;
    }
    return nullptr;
}

Result<QVariant> settingValue(const Setting &setting, const QString &text, const QVariant &flags)
{
    const QString value = text.trimmed();
    bool number = false;
    const double n = value.toDouble(&number);
    switch (setting.kind) {
    case Kind::Whole:
        if (!number || n != qint64(n) || n < setting.low || n > setting.high)
            return Failure(0, u"a whole number from %1 to %2"_s.arg(setting.low).arg(setting.high));
        return QVariant(qint64(n));
    case Kind::Account:
        if (value.isEmpty())
            return QVariant(QMetaType::fromType<double>());
        if (!number || n <= 0 || n > 99999999)
            return Failure(0, u"a G/L account number, or nothing to leave it unset"_s);
        return QVariant(n);
    case Kind::Rate:
        if (!number || n < 0 || n > 1)
            return Failure(0, u"a fraction from 0 to 1 (0.06 for 6%)"_s);
        return QVariant(n);
    case Kind::Choice:
        if (!setting.choices.contains(value.toUpper()))
            return Failure(0, u"one of "_s + setting.choices.join(u", "_s));
        return QVariant(value.toUpper());
    case Kind::YesNo:
    case Kind::CheckOn: {
        const QString yn = value.toUpper();
        if (yn != u"Y"_s && yn != u"N"_s)
            return Failure(0, u"Y or N"_s);
        if (setting.kind == Kind::YesNo)
            return QVariant(yn);
        QString digits = flagsText(flags).leftJustified(setting.digit + 1, u'0');
        digits[setting.digit] = yn == u"Y"_s ? u'0' : u'1';
        return QVariant(digits);
    }
    case Kind::Text:
        break;
    }
    return QVariant(text);
}

QString settingText(const Setting &setting, const QVariant &stored)
{
    if (setting.kind == Kind::CheckOn)
        return Val(flagsText(stored).mid(setting.digit, 1)) == 0 ? u"Y"_s : u"N"_s;
    if (stored.isNull() || !stored.isValid())
        return QString();
    if (stored.typeId() == QMetaType::Double || stored.typeId() == QMetaType::Float)
        return shortestNumber(stored.toDouble());
    return stored.toString();
}

QList<std::pair<QString, QVariantList>> configurationDefaults(const QDate &today)
{
    const SuiteDatabase *config = suiteDatabase(u"config"_s);
    QList<std::pair<QString, QVariantList>> rows;
    for (const SuiteTable &table : config->tables) {
        QVariantList row(table.columns.size());
        for (qsizetype i = 0; i < row.size(); ++i) {
            // Typed nulls, so that a server's statement knows what it writes.
            if (table.columns.at(i).kind != ColumnKind::Text)
                row[i] = QVariant(QMetaType::fromType<double>());
        }
        rows.append({ table.name, row });
    }
    auto set = [&rows](const QString &table, int position, const QVariant &value) {
        for (auto &[name, row] : rows) {
            if (name == table)
                row[position] = value;
        }
    };
    // Level 1 may key chits, 50 sees the month-end editor; the two accounts stay unset,
    // so that start-up names them until the office sets them.
    const int levels[] = { 1, 10, 20, 50 };
    for (int i = 0; i < 4; ++i)
        set(u"ar"_s, i, levels[i]);
    set(u"ar"_s, 7, u"N"_s);
    set(u"ar"_s, 19, 1);
    set(u"ar"_s, 22, today.month());
    set(u"ar"_s, 25, 1.0);
    set(u"ar"_s, 26, u"N"_s);
    // Unused keys hold the empty text, not Null: the row read back and written again at
    // start-up would turn a Null into the text 0.
    for (int key = 1; key <= 12; ++key)
        set(u"ar"_s, 26 + key, u""_s);
    set(u"ar"_s, 39, u"D"_s);
    set(u"ar"_s, 47, u"0000000000"_s);
    set(u"ar"_s, 48, today.year());
    set(u"pos"_s, 0, 0);
    set(u"company"_s, 1, 0.0);
    return rows;
}

} // namespace tallic
