#include "posting/batch.h"

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

// A picker answer above this cannot be a date of the suite's.
constexpr qint32 LatestDate = 21000000;
constexpr int DateLength = 8;

const char *const ValidityHelp[4] = {
    "Hash Total",
    "Base Sale Total",
    "Sum method, chit# + member# + base sale",
    "Sum method, chit# + member# + employee # + base sale",
};

} // namespace

void Batch::start()
{
    count = 0;
    ++number;
    totals = ValidityTotals();
}

QList<ShownTotal> Batch::add(const Chit &chit, int validityMode)
{
    ++count;
    addChitToValidity(totals, validityMode, Cents::read(chit[Field::ChitNumber]),
                      Cents::read(chit[Field::Member]), Cents::read(chit[Field::Employee]),
                      Cents::read(chit[Field::BaseSale]));
    QList<ShownTotal> shown;
    if (validityMode == 1 || validityMode == 3)
        shown.append({ 0, totals.hash });
    if (validityMode == 2 || validityMode == 3)
        shown.append({ 1, totals.base });
    if (validityMode == 4)
        shown.append({ 2, totals.sum });
    if (validityMode == 5)
        shown.append({ 3, totals.sum });
    return shown;
}

bool Batch::pickedDateReadable(const QString &picked) const
{
    return WorkDate <= LatestDate && WorkDate >= 1 && picked.size() == DateLength;
}

QString Batch::validityHelp(int index)
{
    return index < 0 || index > 3 ? QString() : QString::fromLatin1(ValidityHelp[index]);
}

} // namespace tallic
