#include "TypedValues.h"

#include "Consiste.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QMetaProperty>

namespace Velmora {

namespace {
const char *const typedMark = "velmoraTyped";
} // namespace

QString ValueText(const QWidget *control)
{
    const QMetaProperty value = control->metaObject()->userProperty();
    return value.isValid() ? value.read(control).toString() : control->property("text").toString();
}

void TrackTypedValues(QWidget *screen)
{
    // textEdited and clicked come from the user only (a click by the keyboard's arrows too);
    // setText and setChecked by code send neither.
    for (QLineEdit *edit : screen->findChildren<QLineEdit *>())
        QObject::connect(edit, &QLineEdit::textEdited, edit,
                         [edit] { edit->setProperty(typedMark, true); });
    for (QAbstractButton *button : screen->findChildren<QAbstractButton *>())
        if (button->isCheckable())
            QObject::connect(button, &QAbstractButton::clicked, button,
                             [button] { button->setProperty(typedMark, true); });
}

bool HoldsTypedValues(const QWidget *screen)
{
    for (const QLineEdit *edit : screen->findChildren<QLineEdit *>())
        if (edit->property(typedMark).toBool() && !Consiste::EmptyString(ValueText(edit)))
            return true;
    for (const QAbstractButton *button : screen->findChildren<QAbstractButton *>())
        if (button->property(typedMark).toBool())
            return true;
    return false;
}

} // namespace Velmora
