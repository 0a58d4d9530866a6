#include "serverlink.h"

#include "storehost.h"

#include "pgsession.h"

#include "database.h"

#include <QElapsedTimer>
#include <QSqlDriver>
#include <QSqlResult>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>
#include <thread>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

// A wait this short is no wait: the window is left alone, so that nothing else runs in
// the middle of a command. Past it the window repaints this often.
constexpr std::chrono::milliseconds QuietWait { 50 };
constexpr std::chrono::milliseconds RepaintEvery { 20 };

// The driver of the rows handed back: they need none, but a result must name one.
class NoDriver final : public QSqlDriver
{
public:
    bool hasFeature(DriverFeature) const override { return false; }
    bool open(const QString &, const QString &, const QString &, const QString &, int,
              const QString &) override
    {
        return false;
    }
    void close() override { }
    QSqlResult *createResult() const override { return nullptr; }
};

class RowsResult final : public QSqlResult
{
public:
    RowsResult(const QSqlRecord &record, const QList<QVariantList> &rows, int rowsAffected)
        : QSqlResult(driver())
        , record_(record)
        , rows_(rows)
        , rowsAffected_(rowsAffected)
    {
        setSelect(!record.isEmpty());
        setForwardOnly(true);
        setActive(true);
        setAt(QSql::BeforeFirstRow);
    }
    void fail(const QSqlError &error)
    {
        setActive(false);
        setLastError(error);
    }

protected:
    QVariant data(int i) override
    {
        return at() >= 0 && at() < rows_.size() ? rows_.at(at()).value(i) : QVariant();
    }
    bool isNull(int i) override { return data(i).isNull(); }
    bool reset(const QString &) override { return false; }
    bool fetch(int i) override
    {
        if (i < 0 || i >= rows_.size())
            return false;
        setAt(i);
        return true;
    }
    bool fetchFirst() override { return fetch(0); }
    bool fetchLast() override { return fetch(int(rows_.size()) - 1); }
    int size() override { return int(rows_.size()); }
    int numRowsAffected() override { return rowsAffected_; }
    QSqlRecord record() const override { return record_; }

private:
    static const QSqlDriver *driver()
    {
        static auto *none = new NoDriver;
        return none;
    }

    QSqlRecord record_;
    QList<QVariantList> rows_;
    int rowsAffected_;
};

} // namespace

QSqlQuery rowsQuery(const QSqlRecord &record, const QList<QVariantList> &rows, int rowsAffected,
                    const QSqlError &error)
{
    auto *result = new RowsResult(record, rows, rowsAffected);
    if (error.isValid())
        result->fail(error);
    return QSqlQuery(result);
}

// What the link's thread owns. Only that thread touches the session.
struct ServerLink::Shared
{
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::function<void()>> jobs;
    bool stop = false;
    std::thread thread;

    DataSource source;
    QString fileName;
    std::unique_ptr<PgSession> session;

    void serve()
    {
        for (;;) {
            std::function<void()> job;
            {
                std::unique_lock lock(mutex);
                wake.wait(lock, [this] { return !jobs.empty() || stop; });
                if (jobs.empty())
                    break;
                job = std::move(jobs.front());
                jobs.pop_front();
            }
            job();
        }
        session.reset();
    }
};

ServerLink::ServerLink(const DataSource &source, const QString &fileName)
    : shared_(std::make_shared<Shared>())
{
    shared_->source = source;
    shared_->fileName = fileName;
    shared_->thread = std::thread([shared = shared_] { shared->serve(); });
    lockTimeoutMs_ = lockWaitLimit();
}

ServerLink::~ServerLink()
{
    {
        std::lock_guard lock(shared_->mutex);
        shared_->stop = true;
    }
    shared_->wake.notify_one();
    // A thread still held by a server that does not answer ends by itself once the
    // network gives up on the connection; nobody waits for it.
    if (abandoned_)
        shared_->thread.detach();
    else
        shared_->thread.join();
}

bool ServerLink::usable() const
{
    return open_ && !abandoned_;
}

ServerReply ServerLink::call(std::function<ServerReply()> job, int ms, const SlowWait &slow)
{
    ServerReply reply;
    if (abandoned_) {
        reply.answered = false;
        return reply;
    }
    auto task = std::make_shared<std::packaged_task<ServerReply()>>(std::move(job));
    std::future<ServerReply> result = task->get_future();
    {
        std::lock_guard lock(shared_->mutex);
        shared_->jobs.push_back([task] { (*task)(); });
    }
    shared_->wake.notify_one();

    QElapsedTimer clock;
    clock.start();
    auto slice = QuietWait;
    bool slowTold = false;
    while (result.wait_for(slice) != std::future_status::ready) {
        if (clock.elapsed() >= ms || storeHost().programEnding()) {
            abandoned_ = true;
            reply.answered = false;
            return reply;
        }
        if (!std::exchange(slowTold, true) && slow)
            slow();
        storeHost().lockWaitTick();
        slice = RepaintEvery;
    }
    return result.get();
}

QSqlError ServerLink::open(int ms, const SlowWait &slow)
{
    Shared *shared = shared_.get();
    const int lockTimeout = lockTimeoutMs_;
    const ServerReply reply = call(
        [shared, lockTimeout] {
            ServerReply opened;
            ServerSession session;
            shared->session = std::make_unique<PgSession>();
            opened.error
                = shared->session->open(shared->source, shared->fileName, lockTimeout, session);
            opened.rows.append({ session.pid, session.started });
            return opened;
        },
        ms, slow);
    if (!reply.answered) {
        return serverOutOfReach(shared_->fileName, u"it does not answer."_s);
    }
    open_ = !reply.error.isValid();
    if (open_)
        session_ = { reply.rows.value(0).value(0).toLongLong(),
                     reply.rows.value(0).value(1).toLongLong() };
    return reply.error;
}

ServerReply ServerLink::run(const QList<ServerStep> &steps, int resultStep, const QString &undo,
                            int ms, const SlowWait &slow)
{
    Shared *shared = shared_.get();
    const int lockTimeout = lockTimeoutMs_;
    ServerReply reply
        = call([shared, steps, resultStep, undo,
                lockTimeout] { return shared->session->run(steps, resultStep, undo, lockTimeout); },
               ms, slow);
    if (!reply.answered || isConnectionLost(reply.error))
        open_ = false;
    return reply;
}

} // namespace tallic
