#include "guards.h"

#include "platform/platform.h"
#include "platform/runtime.h"

using namespace Qt::Literals::StringLiterals;

namespace tallic {

QString dbUpdateMessage(bool pointOfSaleInstalled)
{
    // The blanks at the line ends are the suite's own wording; keep them.
    QString text = u"Before you may continue, you must run the \n"
                   u"DBUPDATE module.  Note that no users may be  \n"
                   u"using Varnest Accounting during an update.  \n"
                   u"\n"_s;
    if (pointOfSaleInstalled) {
        text += u"Unless the instructions specify otherwise, it is NOT \n"
                u"necessary to shut down Pontiq Point of sale."_s;
    }
    return text;
}

bool CheckDbUpdate()
{
    if (!platform().fileExists(u"dbupdate.dat"_s))
        return false;
    MsgBox(dbUpdateMessage(platform().fileExists(u"PONTIQ.EXE"_s)), BoxButtons::Ok,
           BoxIcon::Critical, u"Varnest Database Update Required"_s);
    return true;
}

} // namespace tallic
