#include "testkit/world.h"

#include "entry/arinput.h"
#include "fakeplatform.h"
#include "platform/form.h"
#include "store/datasource.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace tallic::testkit {

void PrintTo(const Dialog &dialog, std::ostream *out)
{
    *out << "{ " << int(dialog.kind) << ", \"" << dialog.title.toStdString() << "\", \""
         << dialog.text.toStdString() << "\", icon " << int(dialog.icon) << " }";
}

LockHolder::LockHolder(const QString &file, int holdMs, const QString &table, const QString &column,
                       bool reads)
{
    thread_.reset(QThread::create([this, file, holdMs, table, column, reads] {
        const QString name = u"holder-%1"_s.arg(quintptr(this));
        {
            // On a server the same lock: writes wait, reads go on.
            const QFileInfo info(file);
            const DataSource source = dataSourceOf(info.absolutePath());
            QSqlError error;
            QSqlDatabase db;
            if (reads && !source.onServer()) {
                // Readers of a logged file wait only for a connection that had it exclusively
                // before its first read, as a restore has it.
                db = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
                db.setDatabaseName(file);
                db.open();
            } else {
                db = openSuiteDatabase(name, source, info.fileName(), Access::ReadWrite, error);
            }
            const QString mode = reads ? u"access exclusive"_s : u"exclusive"_s;
            const QStringList lock = source.onServer()
                ? QStringList { u"begin"_s, u"lock table %1 in %2 mode"_s.arg(table, mode) }
                : reads ? QStringList { u"pragma locking_mode = exclusive"_s, u"BEGIN EXCLUSIVE"_s }
                        : QStringList { u"BEGIN IMMEDIATE"_s };
            QSqlQuery query(db);
            bool ok = db.isOpen();
            for (const QString &sql : lock
                     + QStringList { u"insert into "_s + table + u" ("_s + column
                                     + u") values ('HOLDER')"_s })
                ok = ok && query.exec(sql);
            locked_.release();
            if (ok) {
                released_.tryAcquire(1, holdMs);
                query.exec(u"COMMIT"_s);
            }
        }
        QSqlDatabase::removeDatabase(name);
    }));
    thread_->start();
    locked_.acquire();
}

void LockHolder::release()
{
    released_.release();
    thread_->wait();
}

void prepareMarch2024(Harness &h)
{
    h.setToday(QDate(2024, 3, 12));
    h.exec(u"config"_s, u"update ar set armonth = 3, aryear = 2024"_s);
    h.exec(u"config"_s, u"update pos set empvalidate = 3"_s);
}

void startMarch2024(Harness &h, const QStringList &picks, int level)
{
    prepareMarch2024(h);
    h.setCommandLine(u"KQV%1JONES"_s.arg(level, 2, 10, QLatin1Char('0')));
    h.queuePickedDates(picks);
    h.start();
    ASSERT_TRUE(h.running());
    ASSERT_EQ(h.focused(), u"Text1(1)"_s);
    h.clearDialogs();
}

Arinput *entry()
{
    return static_cast<Arinput *>(Form::find(u"arinput"_s));
}

QList<QVariantList> chits(Harness &h)
{
    return h.rows(u"daily"_s, u"select * from ardaily order by rowid"_s);
}

void expectRow(const QVariantList &row, const QStringList &expected)
{
    for (qsizetype i = 0; i < expected.size(); ++i) {
        bool number = false;
        const double value = expected.at(i).toDouble(&number);
        if (expected.at(i) == u"null"_s) {
            EXPECT_TRUE(row.value(i).isNull()) << "column " << i;
        } else if (number) {
            // Exactly: an amount is the double nearest its cents, never a sum's noise.
            EXPECT_EQ(row.value(i).toDouble(), value) << "column " << i;
        } else {
            EXPECT_EQ(row.value(i).toString(), expected.at(i)) << "column " << i;
        }
    }
}

void expectRow(const QVariantList &row, const char *expected)
{
    expectRow(row, QString::fromLatin1(expected).split(u' '));
}

void expectWholeCents(Harness &h)
{
    QStringList noisy;
    for (const char *column : { "arbasesale", "arsrvchg", "artax", "artotal" })
        noisy << u"%1 <> round(cast(%1 as numeric), 2)"_s.arg(QLatin1StringView(column));
    const QString sql = u"select count(*) from ardaily where "_s + noisy.join(u" or "_s);
    EXPECT_EQ(h.rows(u"daily"_s, sql).value(0).value(0).toInt(), 0) << qPrintable(sql);
}

void keyChit(Harness &h, const QString &account, const QString &chit, const QString &member,
             const QString &base)
{
    h.keys(account + u"{ENTER}"_s + chit + u"{ENTER}{ENTER}"_s + member + u"{ENTER}{ENTER}"_s + base
           + u"{ENTER}"_s);
}

Workstations postFromWorkstations(const Harness &h, const QString &worker, int workstations,
                                  int chitsEach)
{
    Workstations run;
    QElapsedTimer clock;
    clock.start();
    std::vector<std::unique_ptr<QProcess>> processes;
    for (int w = 1; w <= workstations; ++w) {
        auto &process = processes.emplace_back(std::make_unique<QProcess>());
        process->setProcessChannelMode(QProcess::MergedChannels);
        process->start(worker, { h.dataDir(), u"W%1-"_s.arg(w), QString::number(chitsEach) });
    }
    for (const auto &process : processes) {
        // Slow under the sanitizers, but never stuck for good.
        const bool ended = process->waitForFinished(15 * 60 * 1000);
        const QString said = QString::fromLocal8Bit(process->readAll());
        if (!ended || process->exitStatus() != QProcess::NormalExit || process->exitCode() != 0)
            run.failures << process->arguments().value(1) + u": "_s + said;
        run.postedAgain += said.section(u"posted again: "_s, 1).section(u'\n', 0, 0).toInt();
    }
    run.milliseconds = clock.elapsed();
    return run;
}

MachineOverride::MachineOverride(Harness &h)
    : inner(h.fake())
    , previous(setPlatform(this))
{
}

MachineOverride::~MachineOverride()
{
    setPlatform(previous);
}

QStringList paintedDuring(Harness &h, const std::function<void()> &work)
{
    struct Counter final : QObject
    {
        QStringList painted;
        bool eventFilter(QObject *watched, QEvent *event) override
        {
            auto *widget = qobject_cast<QWidget *>(watched);
            auto *form = widget ? qobject_cast<Form *>(widget->window()) : nullptr;
            if (event->type() == QEvent::Paint && form
                && form->controlByName(watched->objectName()).object() == watched)
                painted << watched->objectName();
            return false;
        }
    } counter;
    h.idle();
    qApp->installEventFilter(&counter);
    work();
    h.idle();
    qApp->removeEventFilter(&counter);
    return counter.painted;
}

} // namespace tallic::testkit
