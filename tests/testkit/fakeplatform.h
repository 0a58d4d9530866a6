#pragma once

#include "platform/platform.h"
#include "testkit/harness.h"

#include <QHash>

#include <random>

namespace tallic::testkit {

// The machine as the tests see it: a clipboard of its own, a fixed clock, boxes answered
// from queues, and programs that are recorded instead of run.
class FakePlatform final : public Platform
{
public:
    QString clipboardText() override { return clipboard; }
    void setClipboardText(const QString &text) override
    {
        clipboard = text;
        clipboardMark.clear();
    }
    void clearClipboard() override { setClipboardText(QString()); }
    QString clipboardLookup() override { return clipboardMark; }
    bool startProgram(const QString &commandLine, WindowStyle style) override;
    bool startLookup(const QString &commandLine, const QString &mark) override;
    // The fake's programs have done their part by the time they are started.
    qint64 startWatchedProgram(const QString &commandLine, WindowStyle style) override
    {
        return startProgram(commandLine, style) ? 1 : 0;
    }
    bool programRunning(qint64) override { return false; }
    int runAndWait(const QString &commandLine) override;
    bool fileExists(const QString &name) override;
    quint64 fileSystemType(const QString &folder) override
    {
        return fileSystem ? fileSystem : Platform::fileSystemType(folder);
    }
    QDate today() override { return date; }
    QTime timeOfDay() override { return time; }
    // Each seed starts a new stream, as the clock does, and still the same one every run.
    void seedRandom() override { generator.seed(20261205 + ++seeds); }
    double random() override;
    InstanceClaim claimSingleInstance() override { return instance; }
    int messageBox(const QString &text, const QString &title, BoxIcon icon,
                   BoxButtons buttons) override;
    QString inputBox(const QString &prompt, const QString &title,
                     const QString &defaultText) override;

    QString clipboard;
    QString clipboardMark; // the mark of the lookup that left the clipboard's text
    // What the lookups answer, in turn, with the mark each was started with; with none
    // queued a lookup leaves the clipboard alone, as one closed without a choice.
    QStringList lookupAnswers;
    QStringList lookupMarks; // each lookup's, as started
    QDate date = QDate::currentDate();
    QTime time = QTime(10, 15, 0);
    QList<bool> answers;
    QStringList inputs;
    QStringList pickedDates; // "~": Enter on the day the calendar opens on
    QStringList started;
    QList<Dialog> dialogs;
    InstanceClaim instance;
    quint64 fileSystem = 0; // statfs's type of every folder; 0: the real one

private:
    std::mt19937 generator { 20261205 };
    unsigned seeds = 0;
};

} // namespace tallic::testkit
