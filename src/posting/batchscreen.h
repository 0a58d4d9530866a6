#pragma once

#include "basic/chit.h"
#include "posting/batch.h"

namespace tallic {

class Arinput;
class EntryModes;

// The batch on the entry window: NEW BATCH starts it on a date from the calendar, and each
// stored chit counts in it. The batch itself is the window's: the field checks read it too.
class BatchScreen
{
public:
    BatchScreen(Arinput &window, Batch &batch, EntryModes &modes);

    // The calendar opens on the date given, else on today.
    void start(qint32 openOn = 0);
    // Only a stored chit counts in the batch: the count, the validity totals, the previous chit.
    void count(const Chit &chit);

private:
    // The batch date from the picker, held to the open month; false when none was chosen
    // (the batch that was goes on) or the program ends.
    bool chooseDate(qint32 openOn);

    Arinput &window_;
    Batch &batch_;
    EntryModes &modes_;
};

} // namespace tallic
