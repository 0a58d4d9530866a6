#include "tallicwatch.h"

#include <QApplication>
#include <QTimer>

#include <cerrno>
#include <csignal>

namespace tallic::tools {

namespace {

// A second is soon enough for a window nobody waits for any more.
constexpr int LookEveryMs = 1000;

bool running(qint64 pid)
{
    // Signal 0 only asks whether the process is there; a process of another user answers
    // "not permitted", which still means it runs.
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

} // namespace

void endWithTallic()
{
    bool number = false;
    const qint64 pid = qEnvironmentVariable("TALLIC_PID").toLongLong(&number);
    if (!number || pid <= 0)
        return;
    auto *look = new QTimer(QCoreApplication::instance());
    QObject::connect(look, &QTimer::timeout, [pid] {
        if (running(pid))
            return;
        // Boxes run loops of their own: closing every window ends them too.
        QApplication::closeAllWindows();
        QCoreApplication::exit(3);
    });
    look->start(LookEveryMs);
}

} // namespace tallic::tools
