#include "layoutcheck.h"

#include "platform/runtime.h"
#include "store/datasource.h"
#include "store/layout.h"
#include "store/schema.h"

using namespace Qt::Literals::StringLiterals;

namespace tallic {

using Outcome = LayoutCheck::Outcome;

bool CheckLayout()
{
    const LayoutCheck check = bringLayoutUpToDate(currentDataSource());
    QString refusal;
    switch (check.outcome) {
    case Outcome::Current:
        return true;
    case Outcome::Upgraded:
        qInfo("The databases were brought from layout %d to %d; the copies from before are in "
              "%ls.",
              check.found, SuiteSchemaVersion, qUtf16Printable(check.backup));
        return true;
    case Outcome::Newer:
        refusal = u"The databases in this folder were written by a newer Tallic (layout %1);\n"
                  u"this Tallic reads layout %2. Start the newer Tallic."_s.arg(check.found)
                      .arg(SuiteSchemaVersion);
        break;
    case Outcome::InUse:
        refusal = u"The databases in this folder are of an older layout (%1) and must be brought\n"
                  u"up to date, which cannot be done while other programs use them:\n%2\n"
                  u"Close them, then start Tallic again."_s.arg(check.found)
                      .arg(check.problem);
        break;
    case Outcome::Failed:
        refusal = u"The databases in this folder are of an older layout (%1), and they could\n"
                  u"not be brought up to date; nothing in them was changed.\n%2"_s.arg(check.found)
                      .arg(check.problem);
        if (!check.backup.isEmpty())
            refusal += u"\nThe copies made before: "_s + check.backup;
        break;
    }
    MsgBox(refusal, BoxButtons::Ok, BoxIcon::Critical, u"Varnest"_s);
    return false;
}

} // namespace tallic
