#include "generation.h"

#include "basic/masks.h"
#include "basic/numbers.h"
#include "basic/postingrules.h"

#include <QSet>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

BundleItem parseBundleLine(const QString &line)
{
    BundleItem item;
    const qsizetype comma = line.indexOf(u',');
    item.accountField = line.left(comma < 0 ? line.size() : comma).trimmed();
    if (comma >= 0) {
        QString rest = line.mid(comma + 1);
        qsizetype i = 0;
        while (i < rest.size() && rest.at(i) == u' ')
            ++i;
        item.priceField = rest.mid(i);
    }
    item.account = Val(item.accountField);
    item.price = Val(item.priceField);
    return item;
}

double memberNumber(const QString &entry)
{
    const qsizetype dash = entry.indexOf(u" - "_s);
    return Val(dash < 0 ? entry : entry.left(dash));
}

qint64 memberKey(double member)
{
    return Cents::of(member).count();
}

QString generationDate(const QString &answer, int currentYear)
{
    QString date = answer;
    if (date.size() == 4)
        date = QString::number(currentYear).rightJustified(4, u'0') + date;
    if (date.size() != 8)
        return QString();
    const double value = Val(date);
    if (value > 21000000 || value < 1)
        return QString();
    return date;
}

ItemAmounts itemAmounts(const ChargeInputs &in)
{
    // The charges follow the price as listed; the row holds it and them to the cent, and
    // their sum.
    const Charges charges = chitCharges(in);
    ItemAmounts out { Cents::of(in.base), charges.serviceCharge, charges.tax, {} };
    out.total = out.base + out.serviceCharge + out.tax;
    return out;
}

QList<ItemAmounts> bundleAmounts(const QList<RatedItem> &items, const ChargeRules &rules,
                                 bool exempt)
{
    QList<ItemAmounts> amounts;
    // The entry screen's own decision of what a bypass or an exemption takes off.
    for (const RatedItem &rated : items)
        amounts.append(
            itemAmounts(chargeInputs(rated.item.price, rated.scRate, rated.taxRate, rules.settings,
                                     { rules.scBypass, rules.taxBypass, exempt })));
    return amounts;
}

namespace {

Cents bundleTotal(const QList<ItemAmounts> &amounts)
{
    Cents total;
    for (const ItemAmounts &item : amounts)
        total += item.total;
    return total;
}

} // namespace

RunSummary summarizeRun(const QList<RatedItem> &items, const QStringList &members,
                        const ChargeRules &rules, const QSet<qint64> &exempt)
{
    RunSummary summary;
    summary.members = members.size();
    summary.items = items.size();
    summary.rows = summary.members * summary.items;
    qsizetype exempted = 0;
    for (const QString &entry : members)
        exempted += exempt.contains(memberKey(memberNumber(entry))) ? 1 : 0;
    summary.total = bundleTotal(bundleAmounts(items, rules, false)) * (summary.members - exempted)
        + bundleTotal(bundleAmounts(items, rules, true)) * exempted;
    return summary;
}

QString summaryText(const RunSummary &summary)
{
    return u"To generate: %1 members, %2 items, %3 rows, total %4"_s.arg(summary.members)
        .arg(summary.items)
        .arg(summary.rows)
        .arg(summary.total.text());
}

bool sameMemo(const QString &a, const QString &b)
{
    return a.simplified().compare(b.simplified(), Qt::CaseInsensitive) == 0;
}

qsizetype countBilled(const QStringList &members, const QList<BilledRow> &billed,
                      const QString &memo)
{
    QSet<qint64> stored;
    for (const BilledRow &row : billed) {
        if (sameMemo(row.memo, memo))
            stored.insert(memberKey(row.member));
    }
    QSet<qint64> found;
    for (const QString &entry : members) {
        const qint64 member = memberKey(memberNumber(entry));
        if (stored.contains(member))
            found.insert(member);
    }
    return found.size();
}

QString alreadyBilledText(qsizetype count, const QString &date)
{
    return u"%1 of the listed members %2 already billed by AutoGen for %3 with the same memo.\n"
           u"Click YES to bill them again, click NO to cancel now."_s.arg(count)
               .arg(count == 1 ? u"was"_s : u"were"_s)
               .arg(date);
}

QString progressText(const QString &chit, double member, const BundleItem &item)
{
    return u"Chit #: "_s + chit + u" - Member: "_s + shortestNumber(member) + u" - "_s
        + item.accountField + u" - "_s + item.priceField;
}

} // namespace tallic
