#pragma once

#include "framework/ControlState.h"
#include "framework/Events.h"

#include <QComboBox>

class VELMORA_FRAMEWORK_EXPORT TComboBox : public QComboBox
{
    Q_OBJECT
    VELMORA_CONTROL
    Q_PROPERTY(QStringList Items READ Items WRITE SetItems)
    Q_PROPERTY(int ItemIndex READ currentIndex WRITE setCurrentIndex)
    Q_PROPERTY(QString Text READ currentText USER true)

public:
    explicit TComboBox(QWidget *parent) : QComboBox(parent)
    {
        connect(this, &QComboBox::currentIndexChanged, this,
                [this] { Velmora::Events::of(this).fire(QStringLiteral("OnChange"), this); });
    }
    QStringList Items() const
    {
        QStringList items;
        for (int i = 0; i < count(); ++i)
            items << itemText(i);
        return items;
    }
    void SetItems(const QStringList &items)
    {
        clear();
        addItems(items);
    }
};
