#include "testkit/harness.h"

#include "autogen/frmbundle.h"
#include "entry/program.h"
#include "fakeplatform.h"
#include "keys/inprocesskeys.h"
#include "keys/sendkeys.h"
#include "platform/colors.h"
#include "platform/form.h"
#include "platform/runtime.h"
#include "suite/demodata.h"
#include "suite/sharedstate.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QUuid>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

namespace tallic::testkit {

struct Harness::Private
{
    std::unique_ptr<QTemporaryDir> temporary;
    QString folder;
    QString previousFolder;
    Platform *previousPlatform = nullptr;
    mutable FakePlatform fake;
    QString commandLine = u"KQV05JONES"_s;
};

namespace {

// A control by the name the tests use: "cmdokay" on the entry window, "frmbundle.cmdadd"
// on another, or a window's own name.
struct Target
{
    Form *form = nullptr;
    Control control;
};

Form *mainForm()
{
    if (Form *form = Form::find(u"arinput"_s))
        return form;
    const QList<Form *> forms = Form::openForms();
    return forms.isEmpty() ? nullptr : forms.first();
}

Target resolve(const QString &name)
{
    if (Form *form = Form::find(name))
        return { form, Control() };
    const qsizetype dot = name.indexOf(u'.');
    Form *form = dot > 0 ? Form::find(name.left(dot)) : mainForm();
    if (!form)
        return {};
    return { form, form->controlByName(dot > 0 ? name.mid(dot + 1) : name) };
}

void sendMouse(QWidget *widget, QEvent::Type type)
{
    const QPointF at = QRectF(widget->rect()).center();
    QMouseEvent event(type, at, widget->mapToGlobal(at), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

} // namespace

Harness::Harness()
    : Harness(QString())
{
}

Harness::Harness(const QString &folder)
    : d(std::make_unique<Private>())
{
    d->folder = folder;
    if (folder.isEmpty()) {
        d->temporary = std::make_unique<QTemporaryDir>();
        EXPECT_TRUE(d->temporary->isValid());
        d->folder = d->temporary->path();
    }
    const bool fresh = QDir(d->folder).entryList({ u"*.mdb"_s }, QDir::Files).isEmpty();
    d->previousFolder = QDir::currentPath();
    d->previousPlatform = setPlatform(&d->fake);
    resetProgramState();
    resetSharedState();
    // Nothing typed in an earlier run may reach this one; every lock starts off.
    inProcessKeyboard().reset();
    QDir::setCurrent(d->folder);
    if (fresh)
        createDemoData(d->folder, d->fake.date);
    // The date picker is part of every data folder the menu prepares.
    QFile picker(QDir(d->folder).filePath(u"dalmore.exe"_s));
    EXPECT_TRUE(picker.open(QIODevice::WriteOnly));
}

Harness::~Harness()
{
    setEndAction(nullptr);
    endProgram();
    for (Form *form : Form::openForms())
        delete form;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    resetProgramState();
    resetSharedState();
    QDir::setCurrent(d->previousFolder);
    setPlatform(d->previousPlatform);
}

QString Harness::dataDir() const
{
    return d->folder;
}

void Harness::setCommandLine(const QString &line)
{
    d->commandLine = line;
}

void Harness::setClipboard(const QString &text)
{
    d->fake.clipboard = text;
}

QString Harness::clipboard() const
{
    return d->fake.clipboard;
}

void Harness::setToday(const QDate &date)
{
    d->fake.date = date;
}

void Harness::queuePickedDates(const QStringList &dates)
{
    d->fake.pickedDates.append(dates);
}

void Harness::queueAnswers(const QList<bool> &yes)
{
    d->fake.answers.append(yes);
}

void Harness::queueInputs(const QStringList &texts)
{
    d->fake.inputs.append(texts);
}

void Harness::setExitCode(const QString &program, int code)
{
    d->fake.exitCodes.insert(program.toLower(), code);
}

static QList<QVariantList> runSql(const QString &folder, const QString &db, const QString &sql)
{
    QString file = findInWorkingFolder(db + u".mdb"_s);
    if (file.isEmpty())
        file = QDir(folder).filePath(db.toLower() + u".mdb"_s);
    QList<QVariantList> result;
    const QString connection = u"harness-"_s + QUuid::createUuid().toString(QUuid::WithoutBraces);
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(u"QSQLITE"_s, connection);
        database.setDatabaseName(file);
        EXPECT_TRUE(database.open()) << qPrintable(database.lastError().text());
        QSqlQuery query(database);
        EXPECT_TRUE(query.exec(sql))
            << qPrintable(sql) << ": " << qPrintable(query.lastError().text());
        while (query.next()) {
            QVariantList row;
            for (int i = 0; i < query.record().count(); ++i)
                row.append(query.value(i));
            result.append(row);
        }
    }
    QSqlDatabase::removeDatabase(connection);
    return result;
}

void Harness::exec(const QString &db, const QString &sql)
{
    runSql(dataDir(), db, sql);
}

QList<QVariantList> Harness::rows(const QString &db, const QString &sql)
{
    return runSql(dataDir(), db, sql);
}

QStringList Harness::dialogTitles() const
{
    QStringList titles;
    for (const Dialog &dialog : dialogs())
        titles << dialog.title;
    return titles;
}

void Harness::createFile(const QString &name, const QByteArray &content)
{
    QFile file(QDir(dataDir()).filePath(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << qPrintable(file.fileName());
    file.write(content);
}

void Harness::start()
{
    installAutoGenerate();
    beginRun(d->commandLine);
    idle();
}

void Harness::keys(const QString &keyString)
{
    if (!running())
        return;
    // Typed as the program types its own keys, by the keyboard inside the program.
    setKeyPlatform(&inProcessKeyboard());
    SendKeyString(keyString);
    idle();
}

void Harness::click(const QString &name)
{
    const Target target = resolve(name);
    EXPECT_TRUE(target.control.isValid()) << "no control " << qPrintable(name);
    if (!target.control.isValid() || !running())
        return;
    if (auto *action = qobject_cast<QAction *>(target.control.object())) {
        action->trigger();
    } else if (QWidget *widget = target.control.widget()) {
        if (widget->isEnabled() && widget->isVisible()) {
            sendMouse(widget, QEvent::MouseButtonPress);
            if (widget)
                sendMouse(widget, QEvent::MouseButtonRelease);
        }
    }
    idle();
}

void Harness::mouseDown(const QString &name)
{
    const Target target = resolve(name);
    EXPECT_TRUE(target.control.isValid()) << "no control " << qPrintable(name);
    if (QWidget *widget = target.control.widget()) {
        if (running() && widget->isEnabled() && widget->isVisible())
            sendMouse(widget, QEvent::MouseButtonPress);
    }
    idle();
}

void Harness::idle()
{
    QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance();
    for (int quiet = 0, rounds = 0; quiet < 2 && rounds < 1000; ++rounds) {
        const bool busy = dispatcher && dispatcher->processEvents(QEventLoop::AllEvents);
        quiet = busy ? 0 : quiet + 1;
        // What the main loop would do between events: delete the windows unloaded.
        if (!busy)
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

ControlState Harness::control(const QString &name) const
{
    ControlState state;
    const Target target = resolve(name);
    if (target.form && !target.control.isValid()) {
        state.caption = target.form->caption();
        state.text = state.caption;
        state.enabled = target.form->isEnabled();
        state.visible = target.form->isVisible();
        state.backColor = target.form->backColor();
        return state;
    }
    const Control &c = target.control;
    EXPECT_TRUE(c.isValid()) << "no control " << qPrintable(name);
    if (!c.isValid())
        return state;
    const bool holdsText = c.kind() == Control::Kind::TextBox || c.kind() == Control::Kind::ListBox;
    (holdsText ? state.text : state.caption) = c.text();
    state.toolTip = c.toolTip();
    state.enabled = c.enabled();
    state.visible = c.visible();
    state.backColor = c.backColor();
    state.foreColor = c.foreColor();
    state.items = c.items();
    return state;
}

QString Harness::focused() const
{
    Form *form = Form::activeForm();
    if (!form || !running())
        return QString();
    const QString name = form->activeControl().name();
    if (name.isEmpty() || form == mainForm())
        return name;
    return form->objectName() + u'.' + name;
}

QList<Dialog> Harness::dialogs() const
{
    return d->fake.dialogs;
}

void Harness::clearDialogs()
{
    d->fake.dialogs.clear();
}

QStringList Harness::started() const
{
    return d->fake.started;
}

bool Harness::running() const
{
    return !programEnding();
}

FakePlatform &Harness::fake() const
{
    return d->fake;
}

} // namespace tallic::testkit
