#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QTextStream>

namespace tallic::club {

// What a command tells the person at the terminal: what it did, line by line, and its
// progress on long work, on one line that is written over.
class Console
{
public:
    Console();

    void line(const QString &text);
    void warn(const QString &text);
    // "ardaily: 12000 of 1000000 rows", at most a few times a second.
    void progress(const QString &what, qint64 done, qint64 total);
    void endProgress();

private:
    QTextStream out_;
    QTextStream err_;
    QElapsedTimer shown_;
    int width_ = 0;
};

} // namespace tallic::club
