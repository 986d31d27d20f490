#include "FieldCheck.h"

#include <QWidget>

namespace Velmora {

void MoveFocus(QWidget *control)
{
    if (control->isEnabled() && control->isVisible())
        control->setFocus(Qt::OtherFocusReason);
}

} // namespace Velmora
