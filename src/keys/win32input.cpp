#ifdef _WIN32

#include "win32input.h"

#include <windows.h>

namespace tallic::win32 {

namespace {

// The flags of every injected record: keys are given by their scan code, which the layout
// of the target maps, and a release is a key-up besides.
constexpr DWORD KeyDownFlags = KEYEVENTF_SCANCODE;
constexpr DWORD KeyUpFlags = KEYEVENTF_SCANCODE | KEYEVENTF_KEYUP;
static_assert(KeyDownFlags == 8 && KeyUpFlags == 10);

// Bits of the high byte of VkKeyScanEx's answer: what the character needs held down.
constexpr int NeedsShift = 1;
constexpr int NeedsControl = 2;
constexpr int NeedsAlt = 4;

} // namespace

bool isWin9xFamily()
{
    OSVERSIONINFOA info {};
    info.dwOSVersionInfoSize = sizeof info;
    GetVersionExA(&info);
    return info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

bool keyStateIsOn(int virtualKey)
{
    return GetKeyState(virtualKey) != 0;
}

void injectKey(int modifierKey, int namedKey, char16_t character, bool release)
{
    // The target's layout, not the program's: the keys must mean there what the string says.
    const HKL layout = GetKeyboardLayout(GetWindowThreadProcessId(GetForegroundWindow(), nullptr));

    int key = modifierKey != 0 ? modifierKey : namedKey;
    if (key == 0) {
        const wchar_t wide = wchar_t(character);
        char ansi = 0;
        if (WideCharToMultiByte(CP_ACP, 0, &wide, 1, &ansi, 1, nullptr, nullptr) != 1)
            return;
        const SHORT found = VkKeyScanExA(ansi, layout);
        if (found == -1)
            return;
        key = static_cast<unsigned short>(found);
    }
    if (key == 0)
        return;

    INPUT records[4] {};
    UINT count = 0;
    const auto add = [&](int virtualKey) {
        INPUT &record = records[count++];
        record.type = INPUT_KEYBOARD;
        record.ki.wVk = WORD(virtualKey);
        record.ki.wScan = WORD(MapVirtualKeyExA(UINT(virtualKey & 0xFF), MAPVK_VK_TO_VSC, layout));
        record.ki.dwFlags = release ? KeyUpFlags : KeyDownFlags;
        record.ki.time = 0;
        record.ki.dwExtraInfo = 0;
    };
    if (modifierKey == 0) {
        const int needs = key >> 8;
        if (needs & NeedsShift)
            add(VK_SHIFT);
        if (needs & NeedsControl)
            add(VK_CONTROL);
        if (needs & NeedsAlt)
            add(VK_MENU);
    }
    add(key);
    SendInput(count, records, sizeof(INPUT));
}

void flipNumLockState()
{
    BYTE state[256] {};
    GetKeyboardState(state);
    state[VK_NUMLOCK] = state[VK_NUMLOCK] ? 0 : 1;
    SetKeyboardState(state);
}

std::uint32_t tickCount()
{
    return GetTickCount();
}

} // namespace tallic::win32

#endif // _WIN32
