// tallic-relay: the tests' relay between a data folder's Tallic and its PostgreSQL server,
// for seeing by hand what the operator is told when the network fails (built with the tests).
//
//   tallic-relay FOLDER
//
// FOLDER's tallic.ini names the server by the folder of its socket; while the relay runs it
// names the relay instead (and again the server once the relay ends). Commands, one a line on
// standard input:
//
//   fail REGEX cut-before|cut-answer|freeze|swallow [down]   the first statement that matches
//   freeze | down | mend | quit
#include "testkit/relay.h"

#include <QCoreApplication>
#include <QTextStream>

using namespace Qt::Literals::StringLiterals;
using tallic::testkit::ServerRelay;

namespace {

bool plant(ServerRelay &relay, const QStringList &words)
{
    using Fault = ServerRelay::Fault;
    static const QHash<QString, Fault> faults { { u"cut-before"_s, Fault::CutBefore },
                                                { u"cut-answer"_s, Fault::CutAnswer },
                                                { u"freeze"_s, Fault::Freeze },
                                                { u"swallow"_s, Fault::Swallow } };
    if (words.size() < 3 || !faults.contains(words.at(2)))
        return false;
    relay.failAt(QRegularExpression(words.at(1)), faults.value(words.at(2)),
                 words.value(3) == u"down"_s);
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout), in(stdin);
    if (app.arguments().size() != 2) {
        QTextStream(stderr) << "usage: tallic-relay FOLDER\n";
        return 2;
    }
    ServerRelay relay(app.arguments().at(1));
    out << "relaying; commands: fail REGEX FAULT [down], freeze, down, mend, quit" << Qt::endl;
    QString line;
    while (in.readLineInto(&line)) {
        const QStringList words = line.split(u' ', Qt::SkipEmptyParts);
        const QString command = words.value(0);
        bool done = true;
        if (command == u"fail"_s)
            done = plant(relay, words);
        else if (command == u"freeze"_s)
            relay.freeze();
        else if (command == u"down"_s)
            relay.down();
        else if (command == u"mend"_s)
            relay.mend();
        else if (command == u"quit"_s)
            break;
        else
            done = false;
        out << (done ? "ok: " : "not understood: ") << line << Qt::endl;
    }
    return 0;
}
