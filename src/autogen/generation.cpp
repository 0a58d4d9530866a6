#include "generation.h"

#include "basic/masks.h"
#include "basic/numbers.h"

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

bool isTaxExempt(const QString &entry)
{
    return entry.contains(u"TaxExempt"_s);
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
    ItemAmounts out;
    out.charges = chitCharges(in);
    // The row holds the rounded charges the texts show, and their sum with the price.
    out.serviceCharge = Val(out.charges.serviceCharge);
    out.tax = Val(out.charges.tax);
    out.total = in.base + out.serviceCharge + out.tax;
    return out;
}

QString progressText(const QString &chit, double member, const BundleItem &item)
{
    return u"Chit #: "_s + chit + u" - Member: "_s + shortestNumber(member) + u" - "_s
        + item.accountField + u" - "_s + item.priceField;
}

} // namespace tallic
