#include "daybatches.h"

#include "basic/modewords.h"
#include "basic/postingrules.h"

#include <QSet>
#include <QStringList>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace tallic::workspace {

QList<Batch> batchesOf(const QList<DayRow> &rows, int validityMode)
{
    QList<Batch> batches;
    QSet<QString> numbers;
    for (const DayRow &row : rows) {
        const QString origin = row.text(Column::Origin);
        if (batches.isEmpty() || batches.last().origin != origin) {
            batches.append({ origin, 0, 0, {}, {} });
            numbers.clear();
        }
        Batch &batch = batches.last();
        ++batch.rows;
        const QString chit = row.text(Column::ChitNumber);
        if (isModeWord(chit) || !numbers.contains(chit)) {
            ++batch.chits;
            numbers.insert(chit);
        }
        const Amounts amounts = row.amounts();
        Amounts &totals = batch.totals;
        totals.base += amounts.base;
        totals.serviceCharge += amounts.serviceCharge;
        totals.tax += amounts.tax;
        totals.total += amounts.total;
        addChitToValidity(batch.validity, validityMode, Cents::read(chit),
                          row.cents(Column::Member), row.cents(Column::Employee), amounts.base);
    }
    return batches;
}

QList<OperatorDay> operatorsOf(const QList<Batch> &batches)
{
    QList<OperatorDay> operators;
    for (const Batch &batch : batches) {
        const QString name = splitBatchStamp(batch.origin).operatorName;
        auto found = std::find_if(operators.begin(), operators.end(),
                                  [&name](const OperatorDay &o) { return o.name == name; });
        if (found == operators.end())
            found = operators.insert(operators.end(), OperatorDay { name, 0, {} });
        found->chits += batch.chits;
        found->totals.base += batch.totals.base;
        found->totals.serviceCharge += batch.totals.serviceCharge;
        found->totals.tax += batch.totals.tax;
        found->totals.total += batch.totals.total;
    }
    return operators;
}

QString validityText(int mode, const ValidityTotals &t)
{
    QStringList parts;
    if (mode == 1 || mode == 3)
        parts << u"Hash Total "_s + t.hash.text();
    if (mode == 2 || mode == 3)
        parts << u"Base Total "_s + t.base.text();
    if (mode == 4)
        parts << u"Sum C+M+B "_s + t.sum.text();
    if (mode == 5)
        parts << u"Sum C+M+E+B "_s + t.sum.text();
    return parts.join(u"   "_s);
}

} // namespace tallic::workspace
