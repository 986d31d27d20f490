#include "TPopupMenu.h"

#include "framework/Dispatch.h"

#include <QMenu>

int TPopupMenu::Popup(QWidget *anchor, const QPoint &globalPos)
{
    QMenu menu(anchor);
    for (const QString &item : m_items)
        menu.addAction(item);
    Velmora::ModalScope modal;
    QAction *chosen = menu.exec(globalPos);
    return chosen ? static_cast<int>(menu.actions().indexOf(chosen)) : -1;
}
