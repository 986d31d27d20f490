#pragma once

#include "framework/ControlState.h"
#include "framework/Events.h"

#include <QLineEdit>

class VELMORA_FRAMEWORK_EXPORT TEdit : public QLineEdit
{
    Q_OBJECT
    VELMORA_CONTROL
    Q_PROPERTY(QString Text READ Text WRITE SetText USER true)
    Q_PROPERTY(int MaxLength READ MaxLength WRITE SetMaxLength)
    Q_PROPERTY(bool ReadOnly READ isReadOnly WRITE setReadOnly)

public:
    explicit TEdit(QWidget *parent) : QLineEdit(parent)
    {
        // QLineEdit reports only real changes, typed or written by code.
        connect(this, &QLineEdit::textChanged, this,
                [this] { Velmora::Events::of(this).fire(QStringLiteral("OnChange"), this); });
    }
    QString Text() const { return text(); }
    void SetText(const QString &text) { setText(text); }
    // 0 means no limit, as the business screens write it.
    int MaxLength() const { return maxLength() == 32767 ? 0 : maxLength(); }
    void SetMaxLength(int length) { setMaxLength(length <= 0 ? 32767 : length); }
};
