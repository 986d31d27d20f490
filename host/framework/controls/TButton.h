#pragma once

#include "framework/ControlState.h"
#include "framework/Events.h"

#include <QPushButton>

class VELMORA_FRAMEWORK_EXPORT TButton : public QPushButton
{
    Q_OBJECT
    VELMORA_CONTROL
    Q_PROPERTY(QString Caption READ text WRITE setText)

public:
    explicit TButton(QWidget *parent) : QPushButton(parent)
    {
        connect(this, &QAbstractButton::clicked, this,
                [this] { Velmora::Events::of(this).fire(QStringLiteral("OnClick"), this); });
    }
};
