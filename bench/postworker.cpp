// tallic-postworker: one workstation posting chits into a data folder through the
// program's own posting routine, for the test and the benchmark of many workstations.
//
//   tallic-postworker DIR PREFIX COUNT
//
// Posts COUNT chits numbered PREFIX1, PREFIX2, ... into DIR's daily database, as OK does
// once a chit is keyed; a chit not stored is posted again, as the operator presses OK
// again, a few times at most, and one whose outcome the server left untold is looked up by
// its key first. Prints what went wrong and how many chits were posted again.
// Exits 0 only when every chit was stored and no box was shown.
#include "posting/chitrow.h"
#include "store/database.h"
#include "store/datasource.h"
#include "store/sqlitefiles.h"
#include "suite/sharedstate.h"
#include "testkit/fakeplatform.h"

#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

using namespace Qt::Literals::StringLiterals;
using namespace tallic;

namespace {

WriteResult post(const Chit &chit, const QString &startStamp, const QString &key)
{
    const ServerDeadline deadline(answerTimeout(lockWaitLimit()));
    WriteResult stored = StoreChitRow(chit, startStamp, key);
    DbAddNewOff();
    return stored;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    QTextStream out(stdout);
    bool number = false;
    const int count = arguments.value(3).toInt(&number);
    if (arguments.size() != 4 || !number || !QDir::setCurrent(arguments.at(1))) {
        QTextStream(stderr) << "usage: tallic-postworker DIR PREFIX COUNT\n";
        return 2;
    }
    const QString prefix = arguments.at(2);
    // Boxes are counted, not shown: nobody is there to answer them.
    testkit::FakePlatform machine;
    setPlatform(&machine);
    const QString startStamp = prefix + u"10:15:00"_s;

    // A few lines of what went wrong are enough; the caller reads them after all the
    // workstations have ended.
    constexpr int ShownFailures = 5;
    constexpr int Tries = 20;
    int notStored = 0, postedAgain = 0;
    for (int i = 1; i <= count; ++i) {
        Chit chit;
        chit[Field::GlAccount] = u"4100"_s;
        chit[Field::ChitNumber] = prefix + QString::number(i);
        chit[Field::ChitDate] = u"20240312"_s;
        chit[Field::Member] = u"1001"_s;
        chit[Field::Employee] = u"0"_s;
        chit[Field::BaseSale] = u"10.00"_s;
        chit[Field::ServiceCharge] = u"1.80"_s;
        chit[Field::Tax] = u".71"_s;
        QString key = newWriteKey();
        WriteResult stored = post(chit, startStamp, key);
        for (int again = 1; again < Tries && !stored.stored(); ++again) {
            ++postedAgain;
            // As OK does again: a chit the server left untold is looked up first, and stored
            // again only when it was not stored.
            if (stored.outcome == WriteOutcome::Unknown) {
                const ServerDeadline deadline(answerTimeout(lockWaitLimit()));
                stored = lookUpWrite(key, stored.session);
                if (stored.outcome != WriteOutcome::NotStored)
                    continue;
            }
            key = newWriteKey();
            stored = post(chit, startStamp, key);
        }
        // Where a workstation would be idle, the operator keying the next chit.
        checkpointBetweenCommits();
        if (!stored.stored() && ++notStored <= ShownFailures)
            out << chit[Field::ChitNumber] << " not stored: " << stored.failure.description << '\n';
    }
    out << "posted again: " << postedAgain << '\n';
    for (const testkit::Dialog &box : machine.dialogs.mid(0, ShownFailures))
        out << "box shown: " << box.title << ": " << box.text << '\n';
    if (notStored > 0 || !machine.dialogs.isEmpty())
        out << notStored << " chits not stored, " << machine.dialogs.size() << " boxes shown\n";
    DbCloseAll();
    setPlatform(nullptr);
    return notStored == 0 && machine.dialogs.isEmpty() ? 0 : 1;
}
