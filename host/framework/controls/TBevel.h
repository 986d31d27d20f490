#pragma once

#include "framework/ControlState.h"

#include <QFrame>

// A line or box drawn to separate parts of a screen; it takes no focus and no input.
class VELMORA_FRAMEWORK_EXPORT TBevel : public QFrame
{
    Q_OBJECT
    VELMORA_CONTROL
    Q_PROPERTY(QString Shape READ Shape WRITE SetShape)

public:
    explicit TBevel(QWidget *parent) : QFrame(parent)
    {
        setFocusPolicy(Qt::NoFocus);
        SetShape(QStringLiteral("bsBox"));
    }
    QString Shape() const { return m_shape; }
    void SetShape(const QString &shape)
    {
        m_shape = shape;
        if (shape == QLatin1String("bsTopLine") || shape == QLatin1String("bsBottomLine"))
            setFrameStyle(QFrame::HLine | QFrame::Sunken);
        else
            setFrameStyle(QFrame::Box | QFrame::Sunken);
    }

private:
    QString m_shape;
};
