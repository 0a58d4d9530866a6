#pragma once

#include "basic/modewords.h"

#include <functional>

namespace tallic {

class Arinput;

// The transaction modes on the entry window: the normal screen, and the payment, adjustment
// and credit screens made from it; a fresh chit keeps the mode that holds.
class EntryModes
{
public:
    explicit EntryModes(Arinput &window);

    // The chit on the screen cleared for the next one, in the mode that holds.
    void redoChit();
    void normalMode();
    // A payment, or an adjustment or credit (the operator is asked which), on a screen
    // made normal first.
    void enterMode(TransMode mode);

    // What AutoGenerate opens: the window of the layer above, installed at start.
    static void setAutoGenerateOpener(std::function<void()> open);
    static void openAutoGenerate();
    // AutoGenerate has closed: the focus leaves the button that opened it, where the next
    // Enter would open it again, for the field whose prompt the help line shows.
    void backFromAutoGenerate();

private:
    Arinput &window_;
};

} // namespace tallic
