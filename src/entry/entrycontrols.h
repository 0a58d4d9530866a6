#pragma once

#include "platform/form.h"

namespace tallic {

// The entry window's arrays of controls, as the window and its parts reach them: the chit's
// fields, their captions and the previous chit's boxes.
inline Control Text1(const Form &window, int index)
{
    return window.control(QStringLiteral("Text1"), index);
}
inline Control Label1(const Form &window, int index)
{
    return window.control(QStringLiteral("Label1"), index);
}
inline Control txtprev(const Form &window, int index)
{
    return window.control(QStringLiteral("txtprev"), index);
}

} // namespace tallic
