#pragma once

#include "framework/ControlState.h"
#include "framework/Events.h"

#include <QRadioButton>

// OnClick fires when the button becomes checked, by the user or by code.
class VELMORA_FRAMEWORK_EXPORT TRadioButton : public QRadioButton
{
    Q_OBJECT
    VELMORA_CONTROL
    Q_PROPERTY(QString Caption READ text WRITE setText)
    Q_PROPERTY(bool Checked READ isChecked WRITE setChecked)

public:
    explicit TRadioButton(QWidget *parent) : QRadioButton(parent)
    {
        connect(this, &QAbstractButton::toggled, this, [this](bool on) {
            if (on)
                Velmora::Events::of(this).fire(QStringLiteral("OnClick"), this);
        });
    }
};
