#include "InputFilter.h"

#include "ControlState.h"
#include "Dispatch.h"
#include "Events.h"
#include "Services.h"
#include "TForm.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFocusEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRadioButton>
#include <QToolTip>

namespace Velmora {

namespace {
bool isUserMove(Qt::FocusReason reason)
{
    return reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
           reason == Qt::MouseFocusReason || reason == Qt::ShortcutFocusReason;
}

bool isKeyboardMove(Qt::FocusReason reason)
{
    return reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
           reason == Qt::ShortcutFocusReason;
}

bool hasEvent(QWidget *widget, const char *event)
{
    const Events *events = Events::find(widget);
    return events && events->isBound(QLatin1String(event));
}
} // namespace

void SelectWholeText(QWidget *widget)
{
    if (auto *edit = qobject_cast<QLineEdit *>(widget))
        edit->selectAll();
}

TForm *FormOf(QWidget *widget)
{
    // A dialog or popup opened over a screen is a window of its own, not part of the screen.
    for (QWidget *w = widget; w; w = w->parentWidget()) {
        if (auto *form = qobject_cast<TForm *>(w))
            return form;
        if (w->isWindow())
            return nullptr;
    }
    return nullptr;
}

InputFilter::InputFilter(QObject *parent) : QObject(parent) {}

void InputFilter::install()
{
    static QPointer<InputFilter> filter;
    if (filter || !qApp)
        return;
    filter = new InputFilter(qApp);
    qApp->installEventFilter(filter);
}

bool InputFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (!watched->isWidgetType())
        return false;
    auto *widget = static_cast<QWidget *>(watched);
    switch (event->type()) {
    case QEvent::FocusOut:
        return focusOut(widget, event);
    case QEvent::FocusIn:
        // The clerk who reaches a field from the keyboard retypes it whole; a click places
        // the caret where it lands.
        if (isKeyboardMove(static_cast<QFocusEvent *>(event)->reason()))
            SelectWholeText(widget);
        focusIn(widget);
        return false;
    case QEvent::KeyPress:
        return keyPress(widget, event);
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
        return mouse(widget, event);
    case QEvent::ToolTip:
        return toolTip(widget, event);
    default:
        return false;
    }
}

bool InputFilter::focusOut(QWidget *widget, QEvent *event)
{
    const auto reason = static_cast<QFocusEvent *>(event)->reason();
    if (InFormCode() || !isUserMove(reason) || !hasEvent(widget, "OnExit"))
        return false;
    QWidget *next = QApplication::focusWidget();
    TForm *form = FormOf(widget);
    if (!form || !next || next == widget || FormOf(next) != form)
        return false;

    if (Events::find(widget)->fire(QStringLiteral("OnExit"), widget))
        return false;

    // The exit failed: the user stays on the control, and the click that tried to leave it
    // must not reach its target.
    if (widget->isEnabled() && widget->isVisible() && QApplication::focusWidget() != widget)
        widget->setFocus(Qt::OtherFocusReason);
    // Where the focus went back (the field, or the one its check chose), the clerk retypes.
    SelectWholeText(widget->window()->focusWidget());
    if (reason == Qt::MouseFocusReason)
        m_swallowRelease = next;
    return true;
}

void InputFilter::focusIn(QWidget *widget)
{
    if (InFormCode() || widget == m_entered)
        return;
    m_entered = widget;
    if (hasEvent(widget, "OnEnter"))
        Events::find(widget)->fire(QStringLiteral("OnEnter"), widget);
}

bool InputFilter::mouse(QWidget *widget, QEvent *event)
{
    if (!m_swallowRelease)
        return false;
    // The press that failed an exit arrives after the focus event; it and its release go.
    if (widget == m_swallowRelease || m_swallowRelease->isAncestorOf(widget)) {
        if (event->type() == QEvent::MouseButtonRelease)
            m_swallowRelease = nullptr;
        return true;
    }
    return false;
}

bool InputFilter::keyPress(QWidget *widget, QEvent *event)
{
    auto *key = static_cast<QKeyEvent *>(event);
    TForm *form = FormOf(widget);
    if (!form)
        return false;
    if (key->key() == Qt::Key_F1 && key->modifiers() == Qt::NoModifier) {
        int context = 0;
        for (QWidget *w = widget; w && w != form && context == 0; w = w->parentWidget())
            if (const ControlState *state = StateOf(w))
                context = state->helpContext();
        if (context == 0)
            context = form->HelpContext();
        const QString file = form->HelpFile();
        Dispatch([&] { Services::current().showHelp(file, context); });
        return true;
    }
    // The clerk's habit in these screens: Enter in an edit or on a choice moves on as Tab does.
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
        key->modifiers() == Qt::NoModifier &&
        (qobject_cast<QLineEdit *>(widget) || qobject_cast<QRadioButton *>(widget))) {
        QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
        QApplication::sendEvent(widget, &tab);
        return true;
    }
    return false;
}

bool InputFilter::toolTip(QWidget *widget, QEvent *event)
{
    const ControlState *state = StateOf(widget);
    if (!state)
        return false;
    if (state->hint().isEmpty() || !EffectiveShowHint(widget)) {
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(), state->hint(), widget);
    return true;
}

} // namespace Velmora
