#include "arinput.h"

#include "entryscreen.h"

using namespace Qt::Literals::StringLiterals;

namespace tallic {

Arinput::Arinput()
    : Form(u"arinput"_s, QSize(900, 600))
    , start_(*this)
    , lookups_(*this)
    , fields_(*this, settings_, batch_, keyed_, lookups_, GlLocked, LastChangedField,
              [this] { cmdnormal_Click(); })
    , amounts_(*this, settings_, keyed_)
{
    setCaption(u"Accounts Receivable"_s);
    buildEntryScreen(*this);
}

} // namespace tallic
