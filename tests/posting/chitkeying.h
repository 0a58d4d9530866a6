#pragma once

// Keying and posting chits as the operator does, for the posting and mode tests.
#include "entry/arinput.h"
#include "suite/sharedstate.h"
#include "platform/form.h"
#include "platform/platform.h"
#include "testkit/fakeplatform.h"
#include "testkit/harness.h"

#include <QFile>

#include <gtest/gtest.h>

#include <functional>
#include <random>

namespace posting {

using namespace Qt::Literals::StringLiterals;
using tallic::testkit::Harness;

inline tallic::Arinput *entry()
{
    return static_cast<tallic::Arinput *>(tallic::Form::find(u"arinput"_s));
}

// A club whose A/R month is March 2024, keyed on 12 March 2024, employee checks off,
// with a first batch on the 12th: the operator waits in the G/L field.
inline void startBatch(Harness &h)
{
    h.setToday(QDate(2024, 3, 12));
    h.exec(u"config"_s, u"update ar set armonth = 3, aryear = 2024"_s);
    h.exec(u"config"_s, u"update pos set empvalidate = 3"_s);
    h.queuePickedDates({ u"20240312"_s });
    h.start();
    ASSERT_TRUE(h.running());
    ASSERT_EQ(h.focused(), u"Text1(1)"_s);
    h.clearDialogs();
}

// A normal chit up to OK: account, chit number, the batch date, member, no employee,
// the base sale.
inline void keyChit(Harness &h, const QString &account, const QString &chit, const QString &member,
                    const QString &base)
{
    h.keys(account + u"{ENTER}"_s + chit + u"{ENTER}{ENTER}"_s + member + u"{ENTER}{ENTER}"_s + base
           + u"{ENTER}"_s);
}

inline QString text(const Harness &h, const QString &name)
{
    return h.control(name).text;
}

inline QList<QVariantList> chits(Harness &h)
{
    return h.rows(u"daily"_s, u"select * from ardaily"_s);
}

inline QString activityLog(const Harness &h)
{
    QFile log(h.dataDir() + u"/admlog.ini"_s);
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
}

// The harness's machine with two differences: the random generator is seeded anew by
// every call, as the real clock seeds it, and each box is announced before it is answered.
class ClockedMachine final : public tallic::Platform
{
public:
    explicit ClockedMachine(Harness &h)
        : inner_(h.fake())
        , previous_(tallic::setPlatform(this))
    {
    }
    ~ClockedMachine() override { tallic::setPlatform(previous_); }

    std::function<void(const QString &title)> onBox;

    QString clipboardText() override { return inner_.clipboardText(); }
    void setClipboardText(const QString &text) override { inner_.setClipboardText(text); }
    void clearClipboard() override { inner_.clearClipboard(); }
    bool startProgram(const QString &line, tallic::WindowStyle style) override
    {
        return inner_.startProgram(line, style);
    }
    int runAndWait(const QString &line) override { return inner_.runAndWait(line); }
    bool fileExists(const QString &name) override { return inner_.fileExists(name); }
    QDate today() override { return inner_.today(); }
    QTime timeOfDay() override { return inner_.timeOfDay(); }
    void seedRandom() override { generator_.seed(++seeds_); }
    double random() override { return std::uniform_real_distribution<double>(0, 1)(generator_); }
    bool claimSingleInstance() override { return inner_.claimSingleInstance(); }
    int messageBox(const QString &text, const QString &title, tallic::BoxIcon icon,
                   tallic::BoxButtons buttons) override
    {
        if (onBox)
            onBox(title);
        return inner_.messageBox(text, title, icon, buttons);
    }
    QString inputBox(const QString &prompt, const QString &title, const QString &text) override
    {
        return inner_.inputBox(prompt, title, text);
    }

private:
    tallic::Platform &inner_;
    tallic::Platform *previous_;
    std::mt19937 generator_;
    unsigned seeds_ = 0;
};

} // namespace posting
