#include "FormComponent.h"

#include "rtl/Exceptions.h"

#include <QWidget>

namespace Velmora {

void MissingComponent(const QObject *form, const char *name)
{
    const auto *window = qobject_cast<const QWidget *>(form);
    throw Exception(
        QStringLiteral("Componente '%1' ausente da tela %2.")
            .arg(QLatin1String(name), window ? window->windowTitle() : form->objectName()));
}

} // namespace Velmora
