#pragma once

#include "framework/ControlState.h"
#include "framework/Events.h"

#include <QRadioButton>

// OnClick fires when the button becomes checked, by the user or by code. Tab enters a group
// (the buttons of one parent) on its checked button, and the arrows move and check within it.
class VELMORA_FRAMEWORK_EXPORT TRadioButton : public QRadioButton
{
    Q_OBJECT
    VELMORA_CONTROL
    Q_PROPERTY(QString Caption READ text WRITE setText)
    Q_PROPERTY(bool Checked READ isChecked WRITE setChecked)

public:
    explicit TRadioButton(QWidget *parent);

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    // Only the group's checked button stays in the tab path; with none checked (or it out of
    // reach) every button stays in it.
    void keepTabOnChecked();
};
