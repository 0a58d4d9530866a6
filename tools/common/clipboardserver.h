#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

namespace tallic::tools {

// Serves a text on the clipboard until another program has taken it (the clipboard
// changes or is cleared) or a limit has passed: an X11 clipboard dies with the program
// that owns it, so a companion that answers through it must outlive the answer.
class ClipboardServer : public QObject
{
    Q_OBJECT

public:
    explicit ClipboardServer(QObject *parent = nullptr);

    // A lookup leaves the mark it was started with in a format beside the text, so that
    // Tallic knows the text for the answer of that start.
    void serve(const QString &text, const QString &mark = QString());
    // The mark this program was started with, as Tallic starts a lookup; empty when none.
    static QString startedMark();
    QString served() const { return served_; }
    // How long the text is served at most when nobody takes it.
    void setLimit(int milliseconds) { limit_.setInterval(milliseconds); }

signals:
    void taken();

private:
    void clipboardChanged();

    QString served_;
    QTimer limit_;
};

} // namespace tallic::tools
