#include "messages.h"
#include "platform/keygate.h"
#include "platform/platform.h"
#include "platform/runtime.h"
#include "store/storehost.h"

#include <utility>

// The database layer's host in every program that links the suite: its windows. Installed
// before main() runs; the link keeps this file (tallic_windows_store_host, src/CMakeLists.txt).
extern "C" {
extern const int tallic_windows_store_host;
const int tallic_windows_store_host = 1;
}

namespace tallic {

namespace {

class WindowsHost final : public StoreHost
{
public:
    void letEventsRun() override { DoEvents(); }
    void beginLockWait() override { tallic::beginLockWait(); }
    void lockWaitTick() override { tallic::lockWaitTick(); }
    void endLockWait() override { tallic::endLockWait(); }
    void lockWaitEnded() override { KeyGate::lockWaitEnded(); }
    bool programEnding() override { return tallic::programEnding(); }
    bool programIdle() override { return tallic::programIdle(); }
    void setWorkBeforeOperator(std::function<void()> work) override
    {
        tallic::setWorkBeforeOperator(std::move(work));
    }
    void tell(const QString &text, const QString &title, Tone tone) override
    {
        MsgBox(text, BoxButtons::Ok,
               tone == Tone::Critical ? BoxIcon::Critical : BoxIcon::Information, title);
    }
    void logActivity(const QString &message) override { (void)LogActivity(message); }
    QDate today() override { return platform().today(); }
    QTime timeOfDay() override { return platform().timeOfDay(); }
    quint64 fileSystemType(const QString &folder) override
    {
        return platform().fileSystemType(folder);
    }
};

WindowsHost windows;
[[maybe_unused]] const bool installed = (setStoreHost(&windows), true);

} // namespace

} // namespace tallic
