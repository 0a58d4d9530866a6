#include "pipeline.h"

#include "suite/database.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

using namespace Qt::Literals::StringLiterals;

namespace tallic::club {

namespace {

// Batches read ahead: enough to keep both threads busy, few enough to keep memory low.
constexpr size_t Ahead = 2;

struct Handover
{
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Rows> batches;
    bool finished = false; // the reader has ended
    bool stopped = false; // the sink has failed: the reader ends at its next batch
    bool read = true;
    QString problem;
};

} // namespace

bool readServerRowsAside(
    const DataSource &source, const QString &snapshot,
    const std::function<bool(ClubDb &db, const RowSink &sink, QString &problem)> &read,
    const RowSink &sink, QString &problem)
{
    Handover handover;
    std::thread reader([&] {
        QString why;
        bool ok = false;
        {
            ClubDb db;
            ok = db.openServer(source, why)
                && db.exec({ u"begin isolation level repeatable read read only"_s,
                             u"set transaction snapshot "_s + sqlLiteral(snapshot) },
                           why)
                && read(
                     db,
                     [&](const Rows &rows, QString &) {
                         std::unique_lock lock(handover.mutex);
                         handover.changed.wait(lock, [&] {
                             return handover.batches.size() < Ahead || handover.stopped;
                         });
                         if (handover.stopped)
                             return false;
                         handover.batches.push_back(rows);
                         handover.changed.notify_all();
                         return true;
                     },
                     why);
        }
        std::lock_guard lock(handover.mutex);
        handover.finished = true;
        handover.read = ok || handover.stopped;
        handover.problem = why;
        handover.changed.notify_all();
    });
    bool ok = true;
    for (;;) {
        Rows rows;
        {
            std::unique_lock lock(handover.mutex);
            handover.changed.wait(lock,
                                  [&] { return !handover.batches.empty() || handover.finished; });
            if (handover.batches.empty())
                break;
            rows = handover.batches.front();
            handover.batches.pop_front();
            handover.changed.notify_all();
        }
        if (!sink(rows, problem)) {
            ok = false;
            break;
        }
    }
    {
        std::lock_guard lock(handover.mutex);
        handover.stopped = !ok;
        handover.changed.notify_all();
    }
    reader.join();
    if (ok && !handover.read) {
        problem = handover.problem;
        return false;
    }
    return ok;
}

} // namespace tallic::club
