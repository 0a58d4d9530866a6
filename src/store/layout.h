#pragma once

#include "datasource.h"

#include <QString>

namespace tallic {

// The layout of a data folder's databases against the one the program reads
// (SuiteSchemaVersion, schema.h).
struct LayoutCheck
{
    enum class Outcome {
        Current, // nothing to do (also: no database that says anything)
        Upgraded, // an older layout, brought up to date after a backup
        Newer, // written by a newer program: this one must not touch it
        Failed, // an older layout that could not be brought up to date; nothing changed
        InUse, // an older layout, left as it is while other programs use the folder
    };
    Outcome outcome = Outcome::Current;
    int found = 0; // the layout the folder was in
    QString backup; // where the backup before the upgrade is
    QString problem;
};

// Reads the layout the folder's databases were written in; an older one gets what the
// program now reads (missing tables, missing columns at their tables' ends) in one
// transaction, after a copy of every database: beside the files in a folder
// "before-layout-N-DATE", on a server as schemas "daily_before_layout_N". The upgrade has
// the folder alone (the lock the program holds on it, folderlock.h), or waits for a start
// when no other program uses it.
LayoutCheck bringLayoutUpToDate(const DataSource &source);

// The layout the folder's databases were written in: the highest of its files', or the
// server's; 0 when none says. The reason when they cannot be read.
Result<int> readLayout(const DataSource &source);

} // namespace tallic
