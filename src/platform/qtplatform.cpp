#include "qtplatform.h"

#include "keygate.h"
#include "runtime.h"
#include "singleinstance.h"

#include <QApplication>
#include <QClipboard>
#include <QDeadlineTimer>
#include <QDir>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QProcess>
#include <QPushButton>

#include <chrono>

namespace tallic {

namespace {

// The program file and its arguments; an empty program when it is not in the working folder.
struct Command
{
    QString program;
    QStringList arguments;
};

Command resolve(const QString &commandLine)
{
    const QStringList parts = splitCommandLine(commandLine);
    if (parts.isEmpty())
        return {};
    return { findInWorkingFolder(parts.first()), parts.mid(1) };
}

// Deleting a QProcess kills its program, so the ones left running when the program ended
// are kept until they finish, or to the end of the process.
QList<QProcess *> &programsLeftRunning()
{
    static auto *programs = new QList<QProcess *>;
    return *programs;
}

// A program of the working folder started as a child, in the folder, with no input; none
// when it could not be started.
QProcess *startChild(const Command &command)
{
    auto *process = new QProcess;
    process->setProgram(command.program);
    process->setArguments(command.arguments);
    process->setWorkingDirectory(QDir::currentPath());
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->setStandardInputFile(QProcess::nullDevice());
    process->start();
    if (process->waitForStarted())
        return process;
    delete process;
    return nullptr;
}

void keepUntilFinished(QProcess *process)
{
    programsLeftRunning().append(process);
    QObject::connect(process, &QProcess::finished, process, [process] {
        programsLeftRunning().removeOne(process);
        process->deleteLater();
    });
}

QMessageBox::Icon messageIcon(BoxIcon icon)
{
    switch (icon) {
    case BoxIcon::None:
        return QMessageBox::NoIcon;
    case BoxIcon::Information:
        return QMessageBox::Information;
    case BoxIcon::Question:
        return QMessageBox::Question;
    case BoxIcon::Critical:
        return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

// Watches a box while it is open. Once one of its buttons is pressed (the answer) keys may
// still reach it: a key typed right after the answer comes before the box is gone. Those
// keys were typed for the window behind, and go there once the box has closed.
class AnsweredBox final : public QObject
{
public:
    explicit AnsweredBox(QDialog *box)
        : box_(box)
    {
        const auto answered = [this] { answered_ = true; };
        connect(box, &QDialog::finished, this, answered);
        for (QAbstractButton *button : box->findChildren<QAbstractButton *>())
            connect(button, &QAbstractButton::pressed, this, answered);
        QCoreApplication::instance()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!answered_ || event->type() != QEvent::KeyPress || !box_)
            return false;
        auto *widget = qobject_cast<QWidget *>(watched);
        if (!widget || (widget != box_ && !box_->isAncestorOf(widget)))
            return false;
        KeyGate::keepAfterAnswer(box_, *static_cast<QKeyEvent *>(event));
        return true;
    }

private:
    QPointer<QDialog> box_;
    bool answered_ = false;
};

} // namespace

QtPlatform::QtPlatform() = default;

QtPlatform::~QtPlatform() = default;

QString QtPlatform::clipboardText()
{
    return QGuiApplication::clipboard()->text();
}

void QtPlatform::setClipboardText(const QString &text)
{
    QGuiApplication::clipboard()->setText(text);
}

void QtPlatform::clearClipboard()
{
    QGuiApplication::clipboard()->clear();
}

void QtPlatform::waitForClipboard(int ms)
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (!clipboard->text().isEmpty())
        return;
    // The answer is taken the moment it comes, not at the next look.
    bool changed = false;
    const QMetaObject::Connection watch = QObject::connect(
        clipboard, &QClipboard::dataChanged, clipboard, [&changed] { changed = true; });
    const QDeadlineTimer deadline(ms);
    while (!changed && !deadline.hasExpired() && !programEnding())
        WaitForEvents(int(deadline.remainingTime()));
    QObject::disconnect(watch);
}

QString QtPlatform::clipboardLookup()
{
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    return data ? QString::fromLatin1(data->data(QString::fromLatin1(LookupAnswerFormat)))
                : QString();
}

bool QtPlatform::startProgram(const QString &commandLine, WindowStyle style)
{
    // Another program's window is its own business here; the style only matters elsewhere.
    Q_UNUSED(style);
    const Command command = resolve(commandLine);
    if (command.program.isEmpty())
        return false;
    return QProcess::startDetached(command.program, command.arguments, QDir::currentPath());
}

bool QtPlatform::startLookup(const QString &commandLine, const QString &mark)
{
    const Command command = resolve(commandLine);
    if (command.program.isEmpty())
        return false;
    QProcess lookup;
    lookup.setProgram(command.program);
    lookup.setArguments(command.arguments);
    lookup.setWorkingDirectory(QDir::currentPath());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(LookupMarkVariable), mark);
    lookup.setProcessEnvironment(environment);
    return lookup.startDetached();
}

qint64 QtPlatform::startWatchedProgram(const QString &commandLine, WindowStyle style)
{
    Q_UNUSED(style);
    const Command command = resolve(commandLine);
    if (command.program.isEmpty())
        return 0;
    // A child of ours rather than a detached one, so that its end is seen; kept, as those
    // runAndWait() leaves, until it finishes.
    QProcess *process = startChild(command);
    if (!process)
        return 0;
    keepUntilFinished(process);
    return process->processId();
}

bool QtPlatform::programRunning(qint64 program)
{
    // A copy: noticing the end here takes the program off the list.
    const QList<QProcess *> programs = programsLeftRunning();
    for (QProcess *process : programs) {
        if (process->processId() == program)
            return !process->waitForFinished(0) && process->state() != QProcess::NotRunning;
    }
    return false;
}

int QtPlatform::runAndWait(const QString &commandLine)
{
    const Command command = resolve(commandLine);
    if (command.program.isEmpty())
        return -1;

    // Not parented: when the program ends first, the process object must outlive this call.
    QProcess *process = startChild(command);
    if (!process)
        return -1;

    // The windows keep answering the operator meanwhile.
    while (process->state() != QProcess::NotRunning && !programEnding()) {
        QCoreApplication::processEvents();
        if (programEnding())
            break;
        process->waitForFinished(20);
    }

    if (process->state() != QProcess::NotRunning) {
        // Ending while the other program runs: leave it running rather than kill the
        // operator's work in it, and let the process object go when it finishes.
        keepUntilFinished(process);
        return -1;
    }
    const int code = process->exitStatus() == QProcess::NormalExit ? process->exitCode() : -1;
    delete process;
    return code;
}

bool QtPlatform::fileExists(const QString &name)
{
    return !findInWorkingFolder(name).isEmpty();
}

QDate QtPlatform::today()
{
    return QDate::currentDate();
}

QTime QtPlatform::timeOfDay()
{
    return QTime::currentTime();
}

void QtPlatform::seedRandom()
{
    const auto ticks = static_cast<quint64>(
        std::chrono::high_resolution_clock::now().time_since_epoch().count());
    std::seed_seq seed { quint32(ticks), quint32(ticks >> 32) };
    generator_.seed(seed);
}

double QtPlatform::random()
{
    // Built from 53 random bits so that 1.0 can never come out, which
    // uniform_real_distribution does not promise for float rounding.
    const quint64 high = generator_() >> 5;
    const quint64 low = generator_() >> 6;
    return double((high << 26) | low) / 9007199254740992.0;
}

InstanceClaim QtPlatform::claimSingleInstance()
{
    if (!instance_)
        instance_ = std::make_unique<SingleInstance>(SingleInstance::defaultLockPath());
    return instance_->claim();
}

int QtPlatform::messageBox(const QString &text, const QString &title, BoxIcon icon,
                           BoxButtons buttons)
{
    // Parented so that it stays above a window kept on top; guarded because that window
    // may be closed while the box is open, taking the box with it.
    QPointer<QMessageBox> box = new QMessageBox(
        messageIcon(icon), title, text, QMessageBox::NoButton, QApplication::activeWindow());
    QAbstractButton *yes = nullptr;
    if (buttons == BoxButtons::YesNo) {
        yes = box->addButton(QMessageBox::Yes);
        QPushButton *no = box->addButton(QMessageBox::No);
        box->setDefaultButton(no);
        box->setEscapeButton(no);
    } else if (buttons == BoxButtons::RetryCancel) {
        QPushButton *retry = box->addButton(QMessageBox::Retry);
        yes = retry;
        box->setDefaultButton(retry);
        box->setEscapeButton(box->addButton(QMessageBox::Cancel));
    } else {
        QPushButton *ok = box->addButton(QMessageBox::Ok);
        box->setDefaultButton(ok);
        box->setEscapeButton(ok);
    }
    {
        AnsweredBox watch(box);
        box->exec();
    }

    if (buttons == BoxButtons::Ok) {
        delete box;
        return AnswerOk;
    }
    const bool answeredYes = box && yes && box->clickedButton() == yes;
    delete box;
    if (buttons == BoxButtons::RetryCancel)
        return answeredYes ? AnswerRetry : AnswerCancel;
    return answeredYes ? AnswerYes : AnswerNo;
}

QString QtPlatform::inputBox(const QString &prompt, const QString &title,
                             const QString &defaultText)
{
    QPointer<QInputDialog> box = new QInputDialog(QApplication::activeWindow());
    box->setWindowTitle(title);
    box->setLabelText(prompt);
    box->setTextValue(defaultText);
    bool ok = false;
    {
        AnsweredBox watch(box);
        ok = box->exec() == QDialog::Accepted;
    }
    const QString text = box && ok ? box->textValue() : QString();
    delete box;
    return text;
}

} // namespace tallic
