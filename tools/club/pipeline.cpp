#include "pipeline.h"

#include "store/database.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

using namespace Qt::Literals::StringLiterals;

namespace tallic::club {

namespace {

// Batches read ahead: enough to keep both threads busy, few enough to keep memory low.
constexpr size_t Ahead = 2;

template<typename Batch> struct Handover
{
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Batch> batches;
    bool finished = false; // the reader has ended
    bool stopped = false; // the sink has failed: the reader ends at its next batch
    bool read = true;
    QString problem;
};

} // namespace

template<typename Batch>
Result<void> readServerRowsAside(
    const DataSource &source, const QString &snapshot,
    const std::function<Result<void>(ClubDb &db,
                                     const std::function<Result<void>(const Batch &)> &sink)> &read,
    const std::function<Result<void>(const Batch &)> &sink)
{
    Handover<Batch> handover;
    std::thread reader([&] {
        Result<void> done;
        {
            ClubDb db;
            done = db.openServer(source);
            // A scan joining another one under way would hand the rows over in another
            // order than they are stored in.
            if (done)
                done = db.exec({ u"begin isolation level repeatable read read only"_s,
                                 u"set transaction snapshot "_s + sqlLiteral(snapshot),
                                 u"set local synchronize_seqscans to off"_s });
            if (done)
                done = read(db, [&](const Batch &rows) -> Result<void> {
                    std::unique_lock lock(handover.mutex);
                    handover.changed.wait(
                        lock, [&] { return handover.batches.size() < Ahead || handover.stopped; });
                    if (handover.stopped)
                        return Failure();
                    handover.batches.push_back(rows);
                    handover.changed.notify_all();
                    return {};
                });
        }
        std::lock_guard lock(handover.mutex);
        handover.finished = true;
        handover.read = done || handover.stopped;
        if (!done)
            handover.problem = done.failure().fullText();
        handover.changed.notify_all();
    });
    Result<void> written;
    for (;;) {
        Batch rows;
        {
            std::unique_lock lock(handover.mutex);
            handover.changed.wait(lock,
                                  [&] { return !handover.batches.empty() || handover.finished; });
            if (handover.batches.empty())
                break;
            rows = std::move(handover.batches.front());
            handover.batches.pop_front();
            handover.changed.notify_all();
        }
        written = sink(rows);
        if (!written)
            break;
    }
    {
        std::lock_guard lock(handover.mutex);
        handover.stopped = !written;
        handover.changed.notify_all();
    }
    reader.join();
    if (written && !handover.read)
        return Failure(0, handover.problem);
    return written;
}

template Result<void> readServerRowsAside<Rows>(
    const DataSource &, const QString &,
    const std::function<Result<void>(ClubDb &, const std::function<Result<void>(const Rows &)> &)>
        &,
    const std::function<Result<void>(const Rows &)> &);
template Result<void> readServerRowsAside<PlainRows>(
    const DataSource &, const QString &,
    const std::function<Result<void>(ClubDb &,
                                     const std::function<Result<void>(const PlainRows &)> &)> &,
    const std::function<Result<void>(const PlainRows &)> &);

} // namespace tallic::club
