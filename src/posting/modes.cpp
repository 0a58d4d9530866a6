#include "posting/modes.h"

#include "platform/colors.h"

using namespace Qt::Literals::StringLiterals;

namespace tallic {

ModeLook KeyedChit::look(TransMode mode)
{
    switch (mode) {
    case TransMode::Payment:
        // Payments carry no service charge and no tax.
        return { u"Payment Amount"_s, u"Payment Total"_s, false, Colors::Green, std::nullopt };
    case TransMode::Adjustment:
        return { u"Adjustment"_s, QString(), true, Colors::Red, Colors::White };
    case TransMode::Credit:
        return { u"Credit"_s, QString(), true, Colors::Red, Colors::White };
    case TransMode::Normal:
        break;
    }
    return {};
}

QString KeyedChit::adjustmentQuestion()
{
    return u"Adjustments are intended to correct transactions from a previously\n"
           "finished month and will not affect a current period's minimum.\n\n"
           "Credits are intended to correct transactions during the current\n"
           "billing month and may effect the current period's minimum.\n\n"
           "Both adjustment and credit entries appear on the current month's\n"
           "statement and are included in the current month's sales totals.\n\n"
           "Is this an adjustment to a PREVIOUS month's transaction?\n\n"_s;
}

BypassLook KeyedChit::toggleScBypass()
{
    ScBypass = !ScBypass;
    return ScBypass ? BypassLook { true, u"S/C Bypass ON"_s, u"S/C Bypassed"_s }
                    : BypassLook { false, u"S/C Bypass Off"_s, u"Service Chg"_s };
}

BypassLook KeyedChit::toggleTaxBypass()
{
    TaxBypass = !TaxBypass;
    return TaxBypass ? BypassLook { true, u"Tax Bypass ON"_s, u"Tax Bypassed"_s }
                     : BypassLook { false, u"Tax Bypass Off"_s, u"Tax"_s };
}

void KeyedChit::startChit()
{
    MemberTerminated = false;
    TaxExempt = false;
}

void KeyedChit::stored(const Chit &chit)
{
    if (!chit.memo.isEmpty())
        LastMemoText = chit.memo;
}

} // namespace tallic
