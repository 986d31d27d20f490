#pragma once

#include "framework/ControlState.h"

#include <QGroupBox>

class VELMORA_FRAMEWORK_EXPORT TGroupBox : public QGroupBox
{
    Q_OBJECT
    VELMORA_CONTROL
    Q_PROPERTY(QString Caption READ title WRITE setTitle)

public:
    explicit TGroupBox(QWidget *parent) : QGroupBox(parent) {}
};
