#include "testkit/harness.h"

#include "autogen/frmbundle.h"
#include "demodata.h"
#include "entry/program.h"
#include "fakeplatform.h"
#include "keys/inprocesskeys.h"
#include "keys/sendkeys.h"
#include "platform/colors.h"
#include "platform/form.h"
#include "platform/runtime.h"
#include "store/database.h"
#include "store/datasource.h"
#include "store/schema.h"
#include "store/sqlitefiles.h"
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
    // On a server: the harness's own database there, made for it and dropped at the end.
    DataSource maintenance, server;
    QString serverDatabase;

    void useServer(const QString &connectionString);
    void dropServerDatabase();
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

QString uniqueName(const QString &prefix)
{
    return prefix + QUuid::createUuid().toString(QUuid::Id128);
}

// Runs the statements on a connection to the server's database itself, in no schema;
// whether the last one gave a row.
bool runOnServer(const DataSource &source, const QStringList &statements)
{
    const QString connection = uniqueName(u"harness-server-"_s);
    bool row = false;
    {
        const Result<QSqlDatabase> db = openServerDatabase(connection, source);
        EXPECT_TRUE(db.ok()) << qPrintable(db ? QString() : db.failure().description);
        QSqlQuery query(db ? *db : QSqlDatabase());
        for (const QString &sql : statements)
            EXPECT_TRUE(query.exec(sql)) << qPrintable(sql + u": "_s + query.lastError().text());
        row = query.next();
    }
    QSqlDatabase::removeDatabase(connection);
    return row;
}

QString quotedName(const QString &name)
{
    return u'"' + name + u'"';
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

void Harness::Private::useServer(const QString &connectionString)
{
    // key=value pairs apart by blanks, as libpq writes them.
    QHash<QString, QString> given;
    for (const QString &pair : connectionString.split(u' ', Qt::SkipEmptyParts)) {
        const qsizetype equals = pair.indexOf(u'=');
        if (equals > 0)
            given.insert(pair.left(equals), pair.mid(equals + 1));
    }
    maintenance.engine = DataSource::Engine::Server;
    maintenance.hosts = given.value(u"host"_s).split(u',', Qt::SkipEmptyParts);
    for (const QString &port : given.value(u"port"_s).split(u',', Qt::SkipEmptyParts))
        maintenance.ports << port.toInt();
    maintenance.user = given.value(u"user"_s);
    maintenance.targetSessionAttrs = given.value(u"target_session_attrs"_s);
    maintenance.database = given.value(u"dbname"_s, u"postgres"_s);
    serverDatabase = uniqueName(u"tallic_test_"_s);
    // In the C locale, as the README has a club make its database.
    runOnServer(maintenance,
                { u"create database "_s + serverDatabase
                  + u" template template0 lc_collate 'C' lc_ctype 'C'"_s });
    server = maintenance;
    server.database = serverDatabase;

    QFile ini(QDir(folder).filePath(u"tallic.ini"_s));
    EXPECT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write(
        u"[database]\ndriver=postgres\nhost=%1\nport=%2\ndatabase=%3\nuser=%4\n"_s
            .arg(server.hosts.join(u','), given.value(u"port"_s), server.database, server.user)
            .toUtf8());
    if (!server.targetSessionAttrs.isEmpty())
        ini.write("target_session_attrs=" + server.targetSessionAttrs.toUtf8() + '\n');
}

void Harness::Private::dropServerDatabase()
{
    // The program's kept connections first; any other still open is ended by the server.
    DbCloseAll();
    runOnServer(maintenance, { u"drop database "_s + serverDatabase + u" with (force)"_s });
}

Harness::Harness()
    : Harness(QString())
{
}

Harness::Harness(const QString &folder)
    : Harness(folder, qEnvironmentVariable("TALLIC_TEST_POSTGRES"))
{
}

Harness::Harness(const Server &server)
    : Harness(QString(), server.connection)
{
}

Harness::Harness(const QString &folder, const QString &server)
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
    if (!server.isEmpty())
        d->useServer(server);
    if (fresh || !server.isEmpty())
        createDemoData(d->folder, d->fake.date);
    // The date picker is part of every data folder the menu prepares.
    QFile picker(QDir(d->folder).filePath(u"dalmore.exe"_s));
    EXPECT_TRUE(picker.open(QIODevice::WriteOnly));
}

// The run ends as a crash would end it: every window gone, the program's state as at its
// start.
static void endRun()
{
    endProgram();
    for (Form *form : Form::openForms())
        delete form;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    resetProgramState();
    resetSharedState();
}

Harness::~Harness()
{
    setEndAction(nullptr);
    endRun();
    if (!d->serverDatabase.isEmpty())
        d->dropServerDatabase();
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
    d->fake.setClipboardText(text);
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

static QList<QVariantList> runSql(const QString &folder, const QString &db, const QString &sql)
{
    const DataSource source = dataSourceOf(folder);
    QList<QVariantList> result;
    const QString connection = uniqueName(u"harness-"_s);
    {
        QSqlDatabase database;
        if (source.onServer()) {
            QSqlError error;
            database
                = openSuiteDatabase(connection, source, db + u".mdb"_s, Access::ReadWrite, error);
        } else {
            QString file = findInWorkingFolder(db + u".mdb"_s);
            if (file.isEmpty())
                file = QDir(folder).filePath(db.toLower() + u".mdb"_s);
            database = QSqlDatabase::addDatabase(u"QSQLITE"_s, connection);
            database.setDatabaseName(file);
            if (database.open())
                setUpSuiteFile(database);
        }
        EXPECT_TRUE(database.isOpen()) << qPrintable(database.lastError().text());
        QSqlQuery query(database);
        EXPECT_TRUE(query.exec(source.onServer() ? serverStatement(sql) : sql))
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

bool Harness::onServer() const
{
    return !d->serverDatabase.isEmpty();
}

bool Harness::databaseExists(const QString &db) const
{
    if (!onServer())
        return !findSuiteFile(dataDir(), db + u".mdb"_s).isEmpty();
    return runOnServer(d->server,
                       { u"select 1 from pg_namespace where nspname = '"_s + db + u"'"_s });
}

void Harness::removeDatabase(const QString &db)
{
    if (onServer())
        runOnServer(d->server, { u"drop schema if exists "_s + quotedName(db) + u" cascade"_s });
    else if (const QString file = findSuiteFile(dataDir(), db + u".mdb"_s); !file.isEmpty())
        for (const QString &part : { u""_s, u"-wal"_s, u"-shm"_s })
            QFile::remove(file + part);
}

void Harness::setAside(const QString &db)
{
    if (onServer()) {
        runOnServer(d->server,
                    { u"drop schema if exists "_s + quotedName(db + u"_away"_s) + u" cascade"_s,
                      u"alter schema "_s + quotedName(db) + u" rename to "_s
                          + quotedName(db + u"_away"_s) });
        return;
    }
    // A file of SQLite's log goes with its log and the log's index.
    const QString file = findSuiteFile(dataDir(), db + u".mdb"_s);
    for (const QString &part : { u""_s, u"-wal"_s, u"-shm"_s }) {
        QFile::remove(file + u".away"_s + part);
        QFile::rename(file + part, file + u".away"_s + part);
    }
    EXPECT_TRUE(QFile::exists(file + u".away"_s)) << qPrintable(file);
}

void Harness::putBack(const QString &db)
{
    if (onServer()) {
        runOnServer(d->server,
                    { u"alter schema "_s + quotedName(db + u"_away"_s) + u" rename to "_s
                      + quotedName(db) });
        return;
    }
    const QString aside = findSuiteFile(dataDir(), db + u".mdb.away"_s);
    for (const QString &part : { u"-wal"_s, u"-shm"_s })
        QFile::rename(aside + part, aside.chopped(5) + part);
    EXPECT_TRUE(QFile::rename(aside, aside.chopped(5))) << qPrintable(aside);
}

void Harness::remakeDatabase(const QString &db)
{
    removeDatabase(db);
    createDemoData(dataDir(), d->fake.date);
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

void Harness::restart()
{
    endRun();
    DbCloseAll();
    inProcessKeyboard().reset();
    start();
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
