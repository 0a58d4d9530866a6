#include "arinput.h"

#include "entryscreen.h"

using namespace Qt::Literals::StringLiterals;

namespace tallic {

Arinput::Arinput()
    : Form(u"arinput"_s, QSize(900, 600))
    , start_(*this)
    , lookups_(*this)
{
    setCaption(u"Accounts Receivable"_s);
    buildEntryScreen(*this);
}

} // namespace tallic
