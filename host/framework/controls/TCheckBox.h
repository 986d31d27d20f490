#pragma once

#include "framework/ControlState.h"
#include "framework/Events.h"

#include <QCheckBox>

class VELMORA_FRAMEWORK_EXPORT TCheckBox : public QCheckBox
{
    Q_OBJECT
    VELMORA_CONTROL
    Q_PROPERTY(QString Caption READ text WRITE setText)
    Q_PROPERTY(bool Checked READ isChecked WRITE setChecked)

public:
    explicit TCheckBox(QWidget *parent) : QCheckBox(parent)
    {
        connect(this, &QAbstractButton::toggled, this,
                [this] { Velmora::Events::of(this).fire(QStringLiteral("OnClick"), this); });
    }
};
