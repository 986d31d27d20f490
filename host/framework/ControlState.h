#pragma once

#include "framework_global.h"

#include <QColor>
#include <QString>

class QWidget;

namespace Velmora {

// The published settings every visual control shares (position, hint, tab order, colour,
// font, help context). Controls embed one through VELMORA_CONTROL and publish it through the
// same Q_PROPERTY names, so descriptions, the batch runner and tests read any control alike.
class VELMORA_FRAMEWORK_EXPORT ControlState
{
public:
    explicit ControlState(QWidget *self);
    ~ControlState();
    ControlState(const ControlState &) = delete;
    ControlState &operator=(const ControlState &) = delete;

    int left() const;
    void setLeft(int v);
    int top() const;
    void setTop(int v);
    int width() const;
    void setWidth(int v);
    int height() const;
    void setHeight(int v);
    bool enabled() const { return m_enabled; }
    void setEnabled(bool v);
    bool visible() const { return m_visible; }
    void setVisible(bool v);

    QString hint() const { return m_hint; }
    void setHint(const QString &v) { m_hint = v; }
    bool showHint() const { return m_showHint; }
    void setShowHint(bool v) { m_showHint = v; }
    bool parentShowHint() const { return m_parentShowHint; }
    void setParentShowHint(bool v) { m_parentShowHint = v; }

    int tabOrder() const { return m_tabOrder; }
    void setTabOrder(int v) { m_tabOrder = v; }
    bool tabStop() const { return m_tabStop; }
    void setTabStop(bool v);

    QString color() const { return m_color; }
    void setColor(const QString &v);
    QString fontName() const;
    void setFontName(const QString &v);
    int fontHeight() const;
    void setFontHeight(int v);
    bool fontBold() const;
    void setFontBold(bool v);
    QString fontColor() const { return m_fontColor; }
    void setFontColor(const QString &v);
    int helpContext() const { return m_helpContext; }
    void setHelpContext(int v) { m_helpContext = v; }

private:
    QWidget *m_self;
    QString m_hint;
    QString m_color;
    QString m_fontColor;
    int m_tabOrder = -1;
    int m_helpContext = 0;
    bool m_visible = true;
    bool m_enabled = true;
    bool m_showHint = false;
    bool m_parentShowHint = true;
    bool m_tabStop = true;
};

// The colour of a system colour name (clInfoBk, clBtnFace, clWindow, clWindowText, clBlue,
// ...) or of "#rrggbb"; invalid for an unknown name.
VELMORA_FRAMEWORK_EXPORT QColor ColorByName(const QString &name);

// Whether a control's hint shows: its own ShowHint, or its parent's when ParentShowHint.
VELMORA_FRAMEWORK_EXPORT bool EffectiveShowHint(const QWidget *widget);
// The state of a Velmora control, or nullptr for any other widget.
VELMORA_FRAMEWORK_EXPORT const ControlState *StateOf(const QWidget *widget);

} // namespace Velmora

// Publishes the shared control settings. Place it right after Q_OBJECT.
// One accessor a line, as the properties above them read: kept out of the formatter.
// clang-format off
#define VELMORA_CONTROL                                                                            \
    Q_PROPERTY(int Left READ Left WRITE SetLeft)                                                   \
    Q_PROPERTY(int Top READ Top WRITE SetTop)                                                      \
    Q_PROPERTY(int Width READ Width WRITE SetWidth)                                                \
    Q_PROPERTY(int Height READ Height WRITE SetHeight)                                             \
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)                                         \
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)                                         \
    Q_PROPERTY(QString Hint READ Hint WRITE SetHint)                                               \
    Q_PROPERTY(bool ShowHint READ ShowHint WRITE SetShowHint)                                      \
    Q_PROPERTY(bool ParentShowHint READ ParentShowHint WRITE SetParentShowHint)                    \
    Q_PROPERTY(int TabOrder READ TabOrder WRITE SetTabOrder)                                       \
    Q_PROPERTY(bool TabStop READ TabStop WRITE SetTabStop)                                         \
    Q_PROPERTY(QString Color READ Color WRITE SetColor)                                            \
    Q_PROPERTY(QString FontName READ FontName WRITE SetFontName)                                   \
    Q_PROPERTY(int FontHeight READ FontHeight WRITE SetFontHeight)                                 \
    Q_PROPERTY(bool FontBold READ FontBold WRITE SetFontBold)                                      \
    Q_PROPERTY(QString FontColor READ FontColor WRITE SetFontColor)                                \
    Q_PROPERTY(int HelpContext READ HelpContext WRITE SetHelpContext)                              \
public:                                                                                            \
    const Velmora::ControlState &State() const { return m_control; }                               \
    int Left() const { return m_control.left(); }                                                  \
    void SetLeft(int v) { m_control.setLeft(v); }                                                  \
    int Top() const { return m_control.top(); }                                                    \
    void SetTop(int v) { m_control.setTop(v); }                                                    \
    int Width() const { return m_control.width(); }                                                \
    void SetWidth(int v) { m_control.setWidth(v); }                                                \
    int Height() const { return m_control.height(); }                                              \
    void SetHeight(int v) { m_control.setHeight(v); }                                              \
    bool Enabled() const { return m_control.enabled(); }                                           \
    void SetEnabled(bool v) { m_control.setEnabled(v); }                                           \
    bool Visible() const { return m_control.visible(); }                                           \
    void SetVisible(bool v) { m_control.setVisible(v); }                                           \
    QString Hint() const { return m_control.hint(); }                                              \
    void SetHint(const QString &v) { m_control.setHint(v); }                                       \
    bool ShowHint() const { return m_control.showHint(); }                                         \
    void SetShowHint(bool v) { m_control.setShowHint(v); }                                         \
    bool ParentShowHint() const { return m_control.parentShowHint(); }                             \
    void SetParentShowHint(bool v) { m_control.setParentShowHint(v); }                             \
    int TabOrder() const { return m_control.tabOrder(); }                                          \
    void SetTabOrder(int v) { m_control.setTabOrder(v); }                                          \
    bool TabStop() const { return m_control.tabStop(); }                                           \
    void SetTabStop(bool v) { m_control.setTabStop(v); }                                           \
    QString Color() const { return m_control.color(); }                                            \
    void SetColor(const QString &v) { m_control.setColor(v); }                                     \
    QString FontName() const { return m_control.fontName(); }                                      \
    void SetFontName(const QString &v) { m_control.setFontName(v); }                               \
    int FontHeight() const { return m_control.fontHeight(); }                                      \
    void SetFontHeight(int v) { m_control.setFontHeight(v); }                                      \
    bool FontBold() const { return m_control.fontBold(); }                                         \
    void SetFontBold(bool v) { m_control.setFontBold(v); }                                         \
    QString FontColor() const { return m_control.fontColor(); }                                    \
    void SetFontColor(const QString &v) { m_control.setFontColor(v); }                             \
    int HelpContext() const { return m_control.helpContext(); }                                    \
    void SetHelpContext(int v) { m_control.setHelpContext(v); }                                    \
                                                                                                   \
private:                                                                                           \
    Velmora::ControlState m_control{this};
// clang-format on
