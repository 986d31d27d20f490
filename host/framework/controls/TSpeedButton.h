#pragma once

#include "framework/ControlState.h"
#include "framework/Events.h"

#include <QIcon>
#include <QToolButton>

// A tool-bar button: it takes no keyboard focus, so pressing it leaves the focus (and no exit
// event) where it was.
class VELMORA_FRAMEWORK_EXPORT TSpeedButton : public QToolButton
{
    Q_OBJECT
    VELMORA_CONTROL
    Q_PROPERTY(QString Caption READ text WRITE setText)
    Q_PROPERTY(QString Glyph READ Glyph WRITE SetGlyph)
    Q_PROPERTY(bool Flat READ autoRaise WRITE setAutoRaise)

public:
    explicit TSpeedButton(QWidget *parent) : QToolButton(parent)
    {
        setFocusPolicy(Qt::NoFocus);
        connect(this, &QAbstractButton::clicked, this,
                [this] { Velmora::Events::of(this).fire(QStringLiteral("OnClick"), this); });
    }
    QString Glyph() const { return m_glyph; }
    void SetGlyph(const QString &path)
    {
        m_glyph = path;
        setIcon(QIcon(path));
    }

private:
    QString m_glyph;
};
