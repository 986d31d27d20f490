#pragma once

#include "reports_global.h"

#include <QObject>
#include <QPoint>
#include <QStringList>

class QWidget;

// A pop-up menu described by its item captions and, where given, the names of their pictures
// (Glyphs::Icon). Popup shows it and answers the index of the chosen item, -1 when the user
// gave up.
class VELMORA_REPORTS_EXPORT TPopupMenu : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QStringList Items READ Items WRITE SetItems)
    Q_PROPERTY(QStringList Pictures READ Pictures WRITE SetPictures)

public:
    explicit TPopupMenu(QObject *owner) : QObject(owner) {}
    QStringList Items() const { return m_items; }
    void SetItems(const QStringList &items) { m_items = items; }
    QStringList Pictures() const { return m_pictures; }
    void SetPictures(const QStringList &pictures) { m_pictures = pictures; }
    int Popup(QWidget *anchor, const QPoint &globalPos);

private:
    QStringList m_items;
    QStringList m_pictures;
};
