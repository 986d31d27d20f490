#include "FieldCheck.h"

#include "InputFilter.h"

#include <QWidget>

namespace Velmora {

void MoveFocus(QWidget *control)
{
    if (!control->isEnabled() || !control->isVisible())
        return;
    control->setFocus(Qt::OtherFocusReason);
    // Back on a field to correct it, the clerk retypes it whole.
    SelectWholeText(control);
}

} // namespace Velmora
