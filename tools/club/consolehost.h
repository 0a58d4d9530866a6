#pragma once

#include "console.h"

#include "store/storehost.h"

namespace tallic::club {

// The database layer's host in tallic-club: what the windows would show goes to the
// terminal, and there are no events to let run beyond Qt's own.
class ConsoleHost final : public StoreHost
{
public:
    void tell(const QString &text, const QString &title, Tone tone) override;

private:
    Console console_;
};

} // namespace tallic::club
