#pragma once

#include "basic/chit.h"
#include "basic/modewords.h"

#include <QString>

#include <optional>

namespace tallic {

// How a mode other than the normal one changes the normal screen. Its word stands in the
// chit-number field, which is passed over with the employee and the covers; the amount's
// caption and colours say what the chit is.
struct ModeLook
{
    QString baseCaption;
    QString totalCaption; // empty: the normal caption stays
    bool charges = true; // the service charge and the tax are shown
    quint32 baseBack = 0;
    std::optional<quint32> baseFore; // none: the frame's text colour
};

// How a bypass shows: the button's caption, and the amount's label, red while on.
struct BypassLook
{
    bool on = false;
    QString button;
    QString label;
};

// The chit being keyed, and the switches that hold from one chit to the next until the
// operator changes them. The entry window owns it; generation reads the bypasses.
struct KeyedChit
{
    TransMode mode = TransMode::Normal;
    bool ScBypass = false;
    bool TaxBypass = false;
    // The member of this chit: tax exempt, or terminated (he may only be credited).
    bool TaxExempt = false;
    bool MemberTerminated = false;
    // The memo of the last chit posted, which "+" recalls.
    QString LastMemoText;

    // The look of a mode other than the normal one.
    static ModeLook look(TransMode mode);
    // The question that tells an adjustment (yes) from a credit.
    static QString adjustmentQuestion();
    // Each press of a bypass turns it over: how it shows now.
    BypassLook toggleScBypass();
    BypassLook toggleTaxBypass();
    // A new chit: a member's termination and tax exemption held for their own chit only.
    void startChit();
    // A chit stored: its memo, if it had one, is what "+" recalls.
    void stored(const Chit &chit);
};

} // namespace tallic
