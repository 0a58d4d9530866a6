#pragma once

#include "basic/chitdates.h"
#include "basic/result.h"

#include <QString>

#include <functional>

namespace tallic {

class Form;
class FieldLookup;
struct KeyedChit;
struct ArSettings;
struct Batch;

// Leaving a chit field: each field is checked, completed or reformatted, and a refused
// field takes the focus back. The base sale is ChitAmounts'.
class FieldChecks
{
public:
    // The window's G/L lock and the field the operator changed last are the window's, which
    // its key handlers keep.
    FieldChecks(Form &window, const ArSettings &settings, Batch &batch, KeyedChit &keyed,
                FieldLookup &lookup, bool &glLocked, const int &lastChangedField,
                std::function<void()> backToNormal);

    void leave(int field);
    // The date field counts the operator's changes from its entry on.
    void entered(int field);
    void dateChanged() { dateTouched_ = true; }

private:
    void leaveGlAccount();
    void leaveChitNumber();
    void leaveChitDate();
    void leaveMember();
    // The member's description and what was passed on the clipboard, in Text3; a suspended
    // or terminated member is warned of.
    void showMember(const QString &description, const QString &passed);
    void leaveEmployee();
    void leaveCovers();
    void leaveKeyedAmount(int index);

    Form &window_;
    const ArSettings &settings_;
    Batch &batch_;
    KeyedChit &keyed_;
    FieldLookup &lookup_;
    bool &glLocked_;
    const int &lastChangedField_;
    // A refused account or employee in a field that is switched off: the screen goes back
    // to normal mode, where the field is keyed again.
    std::function<void()> backToNormal_;
    bool dateTouched_ = false; // the operator changed the date since entering its field
};

// Puts the member's balance on the clipboard ("Balance: 1,234.50"); the failure is the
// caller's to report.
Result<void> putBalanceOnClipboard(double member);

// The working date held to the open A/R month.
DateVerdict workDateVerdict(qint32 workDate, const ArSettings &settings);

} // namespace tallic
