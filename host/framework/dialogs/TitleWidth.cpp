#include "TitleWidth.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QWidget>

namespace Velmora {

void FitTitle(QWidget *dialog)
{
    // The window manager shows the title as Qt gives it, with the application's name after it,
    // in a bold font of its own, beside an icon and up to three buttons.
    QString shown = dialog->windowTitle();
    if (!QGuiApplication::applicationDisplayName().isEmpty())
        shown += QStringLiteral(" \u2014 ") + QGuiApplication::applicationDisplayName();
    QFont font = dialog->font();
    font.setBold(true);
    const QFontMetrics metrics(font);
    const int title = metrics.horizontalAdvance(shown);
    const int buttons = 8 * metrics.height();
    dialog->setMinimumWidth(qMax(dialog->minimumSizeHint().width(), title + buttons));
}

} // namespace Velmora
