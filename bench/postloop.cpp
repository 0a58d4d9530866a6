// A writer: posts chits into a data folder through the entry window, keyed as an operator
// keys them, and says so once each post has returned stored. For the crash tests (kill it
// at any moment), for several workstations on one folder, or to fill a folder with chits.
//
//     tallic-postloop FOLDER [COUNT [PREFIX]]
//
// The folder gets the demo data when it holds no database. Each chit is numbered PREFIX
// and its serial (K1, K2, ...); COUNT 0, the default, posts until the program is stopped.
// Prints "ready" once the first field waits for keys and "stored NUMBER" after each post,
// and exits 1, telling why on standard error, when the start or a post fails. Like Tallic
// it claims the single-instance lock of its user session: give each writer its own
// XDG_RUNTIME_DIR to play another workstation.
#include "platform/singleinstance.h"
#include "testkit/harness.h"
#include "testkit/world.h"

#include <QApplication>
#include <QDir>

#include <cstdio>

using namespace Qt::Literals::StringLiterals;
using namespace tallic;
using namespace tallic::testkit;

namespace {

// The harness's machine with the program's own single-instance lock, so that the lock a
// killed writer leaves behind is met by the next one, as the next start of Tallic meets it.
class WriterMachine final : public MachineOverride
{
public:
    using MachineOverride::MachineOverride;
    InstanceClaim claimSingleInstance() override { return lock_.claim(); }

private:
    SingleInstance lock_ { SingleInstance::defaultLockPath() };
};

void say(const QString &line, FILE *to = stdout)
{
    std::fputs(line.toUtf8().append('\n').constData(), to);
    std::fflush(to);
}

int fail(const Harness &h, const QString &what)
{
    QString boxes;
    for (const Dialog &dialog : h.dialogs())
        boxes += u"\n  "_s + dialog.title + u": "_s + dialog.text;
    say(u"tallic-postloop: "_s + what + boxes, stderr);
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"Tallic"_s);
    const QStringList arguments = QApplication::arguments();
    bool counted = true;
    const int count = arguments.value(2, u"0"_s).toInt(&counted);
    if (arguments.size() < 2 || arguments.size() > 4 || !counted || count < 0) {
        say(u"usage: tallic-postloop FOLDER [COUNT [PREFIX]]"_s, stderr);
        return 2;
    }
    const QString prefix = arguments.value(3, u"K"_s).toUpper();
    if (!QDir().mkpath(arguments.at(1))) {
        say(u"tallic-postloop: cannot make the folder "_s + arguments.at(1), stderr);
        return 1;
    }

    Harness h(QDir(arguments.at(1)).absolutePath());
    WriterMachine machine(h);
    startMarch2024(h);
    if (!h.running() || h.focused() != u"Text1(1)"_s)
        return fail(h, u"the program did not start"_s);
    say(u"ready"_s);
    for (int serial = 1; count == 0 || serial <= count; ++serial) {
        const QString chit = prefix + QString::number(serial);
        const QString before = h.control(u"Text5"_s).text;
        keyChit(h, u"4100"_s, chit, u"1001"_s, u"10"_s);
        h.keys(u"{ENTER}"_s);
        if (h.control(u"Text5"_s).text.toInt() != before.toInt() + 1)
            return fail(h, u"chit "_s + chit + u" was not stored"_s);
        say(u"stored "_s + chit);
    }
    h.click(u"exit"_s);
    return 0;
}
