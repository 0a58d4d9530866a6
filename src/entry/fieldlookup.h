#pragma once

#include "suite/tools.h"

#include <QString>

namespace tallic {

class Form;

// The lookup programs and the date picker that come in front of the entry window: the
// answer of the lookup started from a field shows in it, and leaving the field takes it off
// the clipboard. The window steps back from the top while another program is in front.
class FieldLookup
{
public:
    explicit FieldLookup(Form &window);

    // Starts the lookup program from the field, and shows an answer already there.
    void start(int field, const QString &program);
    void showAnswer(int field);
    // The answer replaces the text and fills the field; false when there is none.
    bool takeAnswer(int field, QString &text);
    // A lookup's answer that comes after its field was left fills nothing.
    void forget() { lookup_.forget(); }

    // Lets another program of the suite come in front of the window.
    void releaseTopmost();
    // Back from a lookup or the date picker: the window is kept on top again.
    void windowActivated();

private:
    Form &window_;
    LookupStart lookup_; // started from the field that has the focus
    bool topmostReleased_ = false;
};

} // namespace tallic
