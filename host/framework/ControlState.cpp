#include "ControlState.h"

#include "Contrast.h"

#include <QApplication>
#include <QHash>
#include <QLineEdit>
#include <QPalette>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleOption>
#include <QWidget>

namespace Velmora {

namespace {
QHash<const QWidget *, ControlState *> &states()
{
    static QHash<const QWidget *, ControlState *> map;
    return map;
}

void setGeometryPart(QWidget *w, int x, int y, int width, int height)
{
    w->setGeometry(x, y, width, height);
}

// The application's style, but a disabled edit's panel takes the system's disabled background
// whatever its own palette says.
class DisabledEditStyle : public QProxyStyle
{
public:
    static QStyle *instance()
    {
        static QPointer<DisabledEditStyle> style;
        if (!style)
            style = new DisabledEditStyle(qApp);
        return style;
    }

    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget) const override
    {
        const auto *frame = qstyleoption_cast<const QStyleOptionFrame *>(option);
        if (element != PE_PanelLineEdit || !frame || (option->state & State_Enabled)) {
            QProxyStyle::drawPrimitive(element, option, painter, widget);
            return;
        }
        QStyleOptionFrame plain(*frame);
        plain.palette.setBrush(QPalette::Disabled, QPalette::Base,
                               QApplication::palette().brush(QPalette::Disabled, QPalette::Base));
        QProxyStyle::drawPrimitive(element, &plain, painter, widget);
    }

private:
    explicit DisabledEditStyle(QObject *parent) { setParent(parent); }
};
} // namespace

ControlState::ControlState(QWidget *self) : m_self(self)
{
    states().insert(self, this);
    // A disabled edit still shows a value the clerk reads (a company's name, a tax's): its
    // text stays greyed but readable on the disabled background.
    if (qobject_cast<QLineEdit *>(self)) {
        QPalette p = self->palette();
        const QColor text = p.color(QPalette::Disabled, QPalette::Text);
        const QColor readable = ReadableOn(text, p.color(QPalette::Disabled, QPalette::Base));
        if (readable != text) {
            p.setColor(QPalette::Disabled, QPalette::Text, readable);
            self->setPalette(p);
        }
    }
}

ControlState::~ControlState()
{
    states().remove(m_self);
}

const ControlState *StateOf(const QWidget *widget)
{
    return states().value(widget, nullptr);
}

int ControlState::left() const
{
    return m_self->x();
}

void ControlState::setLeft(int v)
{
    setGeometryPart(m_self, v, m_self->y(), m_self->width(), m_self->height());
}

int ControlState::top() const
{
    return m_self->y();
}

void ControlState::setTop(int v)
{
    setGeometryPart(m_self, m_self->x(), v, m_self->width(), m_self->height());
}

int ControlState::width() const
{
    return m_self->width();
}

void ControlState::setWidth(int v)
{
    setGeometryPart(m_self, m_self->x(), m_self->y(), v, m_self->height());
}

int ControlState::height() const
{
    return m_self->height();
}

void ControlState::setHeight(int v)
{
    setGeometryPart(m_self, m_self->x(), m_self->y(), m_self->width(), v);
}

void ControlState::setEnabled(bool v)
{
    m_enabled = v;
    m_self->setEnabled(v);
}

void ControlState::setVisible(bool v)
{
    m_visible = v;
    m_self->setVisible(v);
}

void ControlState::setTabStop(bool v)
{
    m_tabStop = v;
    // Out of the tab path, still reachable by a click; a control that takes no focus keeps
    // taking none.
    if (!v && (m_self->focusPolicy() & Qt::TabFocus))
        m_self->setFocusPolicy(Qt::ClickFocus);
}

void ControlState::setColor(const QString &v)
{
    const QColor c = ColorByName(v);
    m_color = v;
    if (!c.isValid())
        return;
    QPalette p = m_self->palette();
    p.setColor(QPalette::Base, c);
    p.setColor(QPalette::Window, c);
    m_self->setPalette(p);
    // A colour that marks an edit (a required field, say) shows only while it takes input:
    // disabled, it is drawn as every disabled edit is, though its palette keeps the colour.
    if (qobject_cast<QLineEdit *>(m_self))
        m_self->setStyle(DisabledEditStyle::instance());
}

QString ControlState::fontName() const
{
    return m_self->font().family();
}

void ControlState::setFontName(const QString &v)
{
    QFont f = m_self->font();
    f.setFamily(v);
    m_self->setFont(f);
}

int ControlState::fontHeight() const
{
    return m_self->font().pixelSize();
}

void ControlState::setFontHeight(int v)
{
    QFont f = m_self->font();
    f.setPixelSize(v);
    m_self->setFont(f);
}

bool ControlState::fontBold() const
{
    return m_self->font().bold();
}

void ControlState::setFontBold(bool v)
{
    QFont f = m_self->font();
    f.setBold(v);
    m_self->setFont(f);
}

void ControlState::setFontColor(const QString &v)
{
    const QColor c = ColorByName(v);
    m_fontColor = v;
    if (!c.isValid())
        return;
    QPalette p = m_self->palette();
    p.setColor(QPalette::WindowText, c);
    p.setColor(QPalette::Text, c);
    p.setColor(QPalette::ButtonText, c);
    m_self->setPalette(p);
}

QColor ColorByName(const QString &name)
{
    const QPalette system = QApplication::palette();
    if (name == QLatin1String("clInfoBk"))
        return system.color(QPalette::ToolTipBase);
    if (name == QLatin1String("clInfoText"))
        return system.color(QPalette::ToolTipText);
    if (name == QLatin1String("clBtnFace"))
        return system.color(QPalette::Button);
    if (name == QLatin1String("clWindow"))
        return system.color(QPalette::Base);
    if (name == QLatin1String("clWindowText"))
        return system.color(QPalette::WindowText);
    if (name == QLatin1String("clBlue"))
        return QColor(0, 0, 255);
    if (name == QLatin1String("clRed"))
        return QColor(255, 0, 0);
    if (name == QLatin1String("clBlack"))
        return QColor(0, 0, 0);
    if (name == QLatin1String("clWhite"))
        return QColor(255, 255, 255);
    if (name.startsWith(QLatin1Char('#')))
        return QColor(name);
    return {};
}

bool EffectiveShowHint(const QWidget *widget)
{
    for (const QWidget *w = widget; w; w = w->parentWidget()) {
        const ControlState *state = StateOf(w);
        if (!state) {
            // A screen publishes ShowHint as a property of its own.
            const QVariant v = w->property("ShowHint");
            return v.isValid() && v.toBool();
        }
        if (!state->parentShowHint())
            return state->showHint();
    }
    return false;
}

} // namespace Velmora
