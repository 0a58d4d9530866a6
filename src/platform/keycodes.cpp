#include "keycodes.h"

#include <array>
#include <utility>

namespace tallic {

namespace {

constexpr std::array<std::pair<int, int>, 33> KeyTable { {
    { Qt::Key_Backspace, 8 },    { Qt::Key_Tab, 9 },        { Qt::Key_Backtab, 9 },
    { Qt::Key_Clear, 12 },       { Qt::Key_Return, 13 },    { Qt::Key_Enter, 13 },
    { Qt::Key_Shift, 16 },       { Qt::Key_Control, 17 },   { Qt::Key_Alt, 18 },
    { Qt::Key_Pause, 19 },       { Qt::Key_CapsLock, 20 },  { Qt::Key_Escape, 27 },
    { Qt::Key_Space, 32 },       { Qt::Key_PageUp, 33 },    { Qt::Key_PageDown, 34 },
    { Qt::Key_End, 35 },         { Qt::Key_Home, 36 },      { Qt::Key_Left, 37 },
    { Qt::Key_Up, 38 },          { Qt::Key_Right, 39 },     { Qt::Key_Down, 40 },
    { Qt::Key_Print, 44 },       { Qt::Key_Insert, 45 },    { Qt::Key_Delete, 46 },
    { Qt::Key_Help, 47 },        { Qt::Key_Meta, 91 },      { Qt::Key_NumLock, 144 },
    { Qt::Key_ScrollLock, 145 }, { Qt::Key_Asterisk, 106 }, { Qt::Key_Plus, 107 },
    { Qt::Key_Minus, 109 },      { Qt::Key_Period, 190 },   { Qt::Key_Slash, 111 },
} };

} // namespace

int virtualKeyFromQt(int qtKey)
{
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return qtKey;
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return qtKey;
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
        return 112 + (qtKey - Qt::Key_F1);
    for (const auto &[qt, vk] : KeyTable) {
        if (qt == qtKey)
            return vk;
    }
    return 0;
}

int qtKeyFromVirtualKey(int virtualKey)
{
    if ((virtualKey >= '0' && virtualKey <= '9') || (virtualKey >= 'A' && virtualKey <= 'Z'))
        return virtualKey;
    if (virtualKey >= 112 && virtualKey <= 135)
        return Qt::Key_F1 + (virtualKey - 112);
    for (const auto &[qt, vk] : KeyTable) {
        if (vk == virtualKey)
            return qt;
    }
    return 0;
}

int shiftState(Qt::KeyboardModifiers modifiers)
{
    int state = 0;
    if (modifiers & Qt::ShiftModifier)
        state |= 1;
    if (modifiers & Qt::ControlModifier)
        state |= 2;
    if (modifiers & Qt::AltModifier)
        state |= 4;
    return state;
}

} // namespace tallic
