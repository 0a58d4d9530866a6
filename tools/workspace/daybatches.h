#pragma once

// A day's rows of ardaily and its batches with their totals, as the editor, its list and
// the proof read them.
#include "basic/validity.h"
#include "correction.h"
#include "store/dailycolumns.h"

#include <QList>

#include <QString>
#include <QVariant>
#include <QVariantList>

namespace tallic::workspace {

// The ardaily row by position, as posting and generation write it.
namespace Column = tallic::DailyColumn;

// One row of ardaily as read: every column, and where the engine keeps the row.
struct DayRow
{
    QVariantList values;
    QVariant locator; // rowid, or the server's ctid

    double number(int column) const { return values.value(column).toDouble(); }
    Cents cents(int column) const { return Cents::of(number(column)); }
    QString text(int column) const { return values.value(column).toString(); }
    Amounts amounts() const
    {
        return { cents(Column::BaseSale), cents(Column::ServiceCharge), cents(Column::Tax),
                 cents(Column::Total) };
    }
};

// One batch of a day: the rows that share the batch's origin stamp.
struct Batch
{
    QString origin;
    // Chits, not rows: generation writes a row per item under one chit number. A payment,
    // adjustment or credit carries its mode's word for a number and is a chit of its own.
    int chits = 0;
    int rows = 0;
    Amounts totals;
    ValidityTotals validity;
};

// The batches of rows read in batch order, with their totals as the entry screen kept them
// in the validity mode.
QList<Batch> batchesOf(const QList<DayRow> &rows, int validityMode);

// The day's chits and totals of one operator, the name in his batches' start stamps.
struct OperatorDay
{
    QString name;
    int chits = 0;
    Amounts totals;
};
// Per operator, in the order of the batches.
QList<OperatorDay> operatorsOf(const QList<Batch> &batches);

// The validity totals a mode keeps, as the entry screen labels them, each written with the
// mask; empty for none.
QString validityText(int mode, const ValidityTotals &totals);

} // namespace tallic::workspace
