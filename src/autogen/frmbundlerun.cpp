// Generate Chits as the window starts it: the run is driven apart from the window, which
// lends it its lists, memo, help line, progress bar and commands.
#include "entry/arinput.h"
#include "frmbundle.h"
#include "generationdriver.h"

#include <QProgressBar>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

class Frmbundle::RunWindow : public GenerationWindow
{
public:
    explicit RunWindow(Frmbundle &window)
        : window_(window)
    {
    }

    bool saveLists() override
    {
        return window_.bundle_.save(u"Bundle saved."_s)
            && window_.members_.save(u"Member list saved."_s);
    }
    bool bundleEmpty() const override { return window_.ctl(u"List1"_s).items().isEmpty(); }
    QStringList members() const override { return window_.ctl(u"List2"_s).items(); }
    QString memo() const override { return window_.ctl(u"txtmemo"_s).text(); }
    QString keyedDate() const override
    {
        const Arinput *entry = window_.entryWindow();
        return entry ? entry->Text1(Field::ChitDate).text() : QString();
    }
    const ArSettings &settings() const override { return window_.settings(); }
    ChargeRules chargeRules() const override
    {
        const Arinput *entry = window_.entryWindow();
        return { settings().chargeSettings(), entry && entry->keyed_.ScBypass,
                 entry && entry->keyed_.TaxBypass };
    }

    void say(const QString &text) override { window_.ctl(u"mainhelpwindow"_s).setText(text); }
    void resetProgress() override { window_.progress_->reset(); }
    void showProgress(int done, int of) override
    {
        window_.progress_->setRange(0, of);
        window_.progress_->setValue(done);
    }
    void focusExit() override { window_.ctl(u"cmdexit"_s).setFocus(); }
    void setCommandsAvailable(bool on) override
    {
        for (const char *name : { "cmdadd", "cmddelete", "cmdnew", "cmdsavelist", "cmddeletelist",
                                  "cmdaddmember", "cmdaddgroup", "cmddeletemember",
                                  "cmdnewmemberlist", "cmdsavemember", "cmddelmemlist", "cmdexit" })
            window_.ctl(QString::fromLatin1(name)).setEnabled(on);
    }

private:
    Frmbundle &window_;
};

void Frmbundle::cmdgenerate_Click()
{
    // A second run must wait until the chits are written.
    Control generate = ctl(u"cmdgenerate"_s);
    generate.setEnabled(false);
    RunWindow window(*this);
    GenerationDriver(window).run();
    generate.setEnabled(true);
}

} // namespace tallic
