#pragma once

#include "framework/ControlState.h"

#include <QFrame>

class VELMORA_FRAMEWORK_EXPORT TPanel : public QFrame
{
    Q_OBJECT
    VELMORA_CONTROL
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(QString BevelOuter READ BevelOuter WRITE SetBevelOuter)

public:
    explicit TPanel(QWidget *parent) : QFrame(parent) { SetBevelOuter(QStringLiteral("bvRaised")); }
    QString Caption() const { return m_caption; }
    void SetCaption(const QString &caption) { m_caption = caption; }
    QString BevelOuter() const { return m_bevel; }
    void SetBevelOuter(const QString &bevel)
    {
        m_bevel = bevel;
        if (bevel == QLatin1String("bvNone"))
            setFrameStyle(QFrame::NoFrame);
        else
            setFrameStyle(QFrame::Panel |
                          (bevel == QLatin1String("bvLowered") ? QFrame::Sunken : QFrame::Raised));
    }

private:
    QString m_caption;
    QString m_bevel;
};
