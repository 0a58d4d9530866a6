#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <memory>
#include <ostream>

// Readable QString values in test failures.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace tallic::testkit {

enum class DialogKind { Message, Question, Input };
enum class DialogIcon { None, Information, Question, Critical };
struct Dialog
{
    DialogKind kind;
    QString title;
    QString text;
    DialogIcon icon;
};
struct ControlState
{
    QString text, caption, toolTip; // a window's caption for "arinput" or "frmbundle"
    bool enabled = false, visible = false;
    quint32 backColor = 0,
            foreColor = 0; // blue-green-red long values; 0x8000000F for the button face
    QStringList items; // a list box's entries, in order
};

class FakePlatform;

// Runs the program inside the test process as an operator would use it: a fresh data
// folder, a fake clipboard, clock and boxes, and the program's windows driven by keys
// and clicks. One harness at a time. With TALLIC_TEST_POSTGRES set (a libpq connection
// string to a server where it may create databases) the folder's tallic.ini names a fresh
// database of the harness's own there, dropped at the end, and exec() and rows() run on a
// suite database's schema as the program's own connections do.
class Harness
{
public:
    Harness();
    // Runs in the data folder given, which outlives the harness: a writer started again on
    // the same files. The demo data is made there only when the folder holds no database.
    explicit Harness(const QString &folder);
    // On the server a libpq connection string names (key=value pairs apart by blanks, host
    // and port lists and target_session_attrs as libpq takes them), whatever
    // TALLIC_TEST_POSTGRES says: a server of the test's own.
    struct Server
    {
        QString connection;
    };
    explicit Harness(const Server &server);
    ~Harness();
    Harness(const Harness &) = delete;
    Harness &operator=(const Harness &) = delete;

    QString dataDir() const;
    void setCommandLine(const QString &line);
    void setClipboard(const QString &text);
    QString clipboard() const;
    void setToday(const QDate &date);
    void queuePickedDates(const QStringList &dates);
    void queueAnswers(const QList<bool> &yes);
    void queueInputs(const QStringList &texts);
    void exec(const QString &db, const QString &sql);
    QList<QVariantList> rows(const QString &db, const QString &sql);
    // A suite database ("daily") as a file or a schema: what removing, moving aside and
    // back, and making it again as the harness made it are on the engine in use.
    bool onServer() const;
    bool databaseExists(const QString &db) const;
    void removeDatabase(const QString &db);
    void setAside(const QString &db);
    void putBack(const QString &db);
    void remakeDatabase(const QString &db);
    void start();
    // Ends the run as a crash would, every window gone and every connection closed, and
    // starts the program again on the same data: its next run on the workstation.
    void restart();
    void keys(const QString &keyString);
    void click(const QString &control);
    void idle();
    ControlState control(const QString &name) const;
    QString focused() const;
    QList<Dialog> dialogs() const;
    // The titles of the boxes shown, in order.
    QStringList dialogTitles() const;
    void clearDialogs();
    // Creates a file in the data folder (a marker file, a stand-in program).
    void createFile(const QString &name, const QByteArray &content = {});
    QStringList started() const;
    bool running() const;

    FakePlatform &fake() const;

private:
    Harness(const QString &folder, const QString &server);

    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace tallic::testkit
