#pragma once

#include "basic/result.h"
#include "suite/arsettings.h"

namespace tallic {

class Form;
struct Batch;

// Starting the entry window: what must hold before anything is loaded, the command line
// and the club's settings, and the settings on the screen.
class EntryStart
{
public:
    explicit EntryStart(Form &window);

    // One copy of the program, no update pending, a data folder on a local disk that
    // nothing is replacing, and databases of a layout this program reads.
    bool allowed();
    // Reads the command line and the suite's configuration; refuses a start that the
    // launch code or the access level does not allow. False when the program ends.
    bool load();
    // The settings on the screen: the caption, the commands the level allows; the batch
    // starts on today unless a date was passed.
    void show(Batch &batch);

    // The club's settings read at start-up.
    const ArSettings &settings() const { return settings_; }

private:
    void failed(const Failure &failure);
    bool lockedRetried(const Result<ArSettings> &read);

    Form &window_;
    ArSettings settings_;
};

} // namespace tallic
