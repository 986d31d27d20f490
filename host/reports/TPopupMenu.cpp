#include "TPopupMenu.h"

#include "framework/Dispatch.h"
#include "framework/Glyphs.h"

#include <QMenu>

int TPopupMenu::Popup(QWidget *anchor, const QPoint &globalPos)
{
    QMenu menu(anchor);
    for (qsizetype i = 0; i < m_items.size(); ++i) {
        QAction *action = menu.addAction(m_items.at(i));
        if (!m_pictures.value(i).isEmpty())
            action->setIcon(Glyphs::Icon(m_pictures.at(i)));
    }
    Velmora::ModalScope modal;
    QAction *chosen = menu.exec(globalPos);
    return chosen ? static_cast<int>(menu.actions().indexOf(chosen)) : -1;
}
