#pragma once

#include "keyplatform.h"

namespace tallic {

// Real keys on Windows: SendInput records with scan codes in the layout of the foreground
// window's thread.
class WindowsKeys final : public KeyPlatform
{
public:
    QString OsFamily() override;
    bool LockIsOn(int virtualKey) override;
    void PressKey(const QString &token) override;
    void ReleaseKey(const QString &token) override;
    void ToggleNumLock() override;
    void PauseMs(qint16 ms) override;

private:
    void inject(const QString &token, bool release);
};

} // namespace tallic
