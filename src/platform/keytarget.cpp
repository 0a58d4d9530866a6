#include "form.h"
#include "keygate.h"

#include <QApplication>
#include <QWidget>

// Apart from the gate, which holds keys for any widget: only finding the target knows forms.
namespace tallic::KeyGate {

QWidget *keyTarget()
{
    if (QWidget *widget = QApplication::focusWidget())
        return widget;
    if (Form *form = Form::activeForm()) {
        if (QWidget *control = form->activeControl().widget())
            return control;
        return form;
    }
    return nullptr;
}

} // namespace tallic::KeyGate
