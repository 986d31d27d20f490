#pragma once

#include "framework/ControlState.h"

#include <QLabel>

class VELMORA_FRAMEWORK_EXPORT TLabel : public QLabel
{
    Q_OBJECT
    VELMORA_CONTROL
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(bool AutoSize READ AutoSize WRITE SetAutoSize)

public:
    explicit TLabel(QWidget *parent) : QLabel(parent) { setFocusPolicy(Qt::NoFocus); }
    QString Caption() const { return text(); }
    void SetCaption(const QString &caption)
    {
        setText(caption);
        if (m_autoSize)
            adjustSize();
    }
    // Sizing to the caption; a label of fixed size keeps its width and height.
    bool AutoSize() const { return m_autoSize; }
    void SetAutoSize(bool autoSize)
    {
        m_autoSize = autoSize;
        if (autoSize)
            adjustSize();
    }

protected:
    // A form description may give the width after the caption: the fit is made again on show.
    void showEvent(QShowEvent *event) override
    {
        if (m_autoSize)
            adjustSize();
        QLabel::showEvent(event);
    }

private:
    bool m_autoSize = false;
};
