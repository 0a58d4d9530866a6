#pragma once

#include "basic/cents.h"
#include "basic/chit.h"
#include "basic/validity.h"

#include <QList>
#include <QString>

namespace tallic {

// A validity total on the screen: which of the four boxes, and its value.
struct ShownTotal
{
    int index = 0;
    Cents total;
};

// The batch being keyed. The entry window owns it: NEW BATCH starts it on a date, and
// each chit stored is counted and added to the validity totals.
struct Batch
{
    qint32 WorkDate = 0; // the chit date the operator works on, yyyymmdd
    QString StartStamp; // the user and the time the batch started: its rows' origin
    int count = 0; // chits posted
    int number = 0; // which batch of the run it is
    ValidityTotals totals; // HashTotal, BaseTotal, SumTotal

    // The next batch of the run, on WorkDate under StartStamp: nothing counted yet.
    void start();
    // Counts a stored chit and adds it to the totals of the club's validity mode; the
    // totals the mode shows, which stay on the screen once shown.
    QList<ShownTotal> add(const Chit &chit, int validityMode);
    // Whether a date picker's answer, read into WorkDate, is a date of the suite's: eight
    // digits, not above the year 2099.
    bool pickedDateReadable(const QString &picked) const;
    // What the help line says over a validity total.
    static QString validityHelp(int index);
};

} // namespace tallic
