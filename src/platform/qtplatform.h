#pragma once

#include "platform.h"

#include <memory>
#include <random>

namespace tallic {

class SingleInstance;

// The platform of the real program: the system clipboard and clock, programs started from
// the working folder, and Qt's own boxes.
class QtPlatform final : public Platform
{
public:
    QtPlatform();
    ~QtPlatform() override;

    QString clipboardText() override;
    void setClipboardText(const QString &text) override;
    void clearClipboard() override;
    QString clipboardLookup() override;
    void waitForClipboard(int ms) override;
    bool startProgram(const QString &commandLine, WindowStyle style) override;
    bool startLookup(const QString &commandLine, const QString &mark) override;
    qint64 startWatchedProgram(const QString &commandLine, WindowStyle style) override;
    bool programRunning(qint64 program) override;
    int runAndWait(const QString &commandLine) override;
    bool fileExists(const QString &name) override;
    QDate today() override;
    QTime timeOfDay() override;
    void seedRandom() override;
    double random() override;
    InstanceClaim claimSingleInstance() override;
    int messageBox(const QString &text, const QString &title, BoxIcon icon,
                   BoxButtons buttons) override;
    QString inputBox(const QString &prompt, const QString &title,
                     const QString &defaultText) override;

private:
    Q_DISABLE_COPY_MOVE(QtPlatform)

    std::mt19937 generator_;
    std::unique_ptr<SingleInstance> instance_;
};

} // namespace tallic
