#include "UserInput.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QThread>
#include <QWidget>
#include <QWindow>

#include <iterator>
#include <limits>

namespace Velmora::UserInput {

namespace {

// In the order a hand presses them; released in reverse.
const struct
{
    Qt::KeyboardModifier modifier;
    Qt::Key key;
} modifierKeys[] = {{Qt::ShiftModifier, Qt::Key_Shift},
                    {Qt::ControlModifier, Qt::Key_Control},
                    {Qt::AltModifier, Qt::Key_Alt},
                    {Qt::MetaModifier, Qt::Key_Meta}};

// Where the platform last saw the pointer; nowhere before the first click.
QPoint pointer(std::numeric_limits<int>::min(), std::numeric_limits<int>::min());

void sendMouse(QWindow *window, QEvent::Type type, QPoint at, QPoint global, Qt::MouseButton button,
               Qt::MouseButtons buttons)
{
    QMouseEvent event(type, QPointF(at), QPointF(at), QPointF(global), button, buttons,
                      Qt::NoModifier);
    // Not marked spontaneous, yet the window hands it to the widget under the point as a
    // spontaneous one, and only those give a click's focus.
    QCoreApplication::sendEvent(window, &event);
}

bool sendKey(const QPointer<QWidget> &target, QEvent::Type type, int key,
             Qt::KeyboardModifiers modifiers, const QString &text = {})
{
    if (!target)
        return false; // a key that closed its screen has nothing left to release on
    QKeyEvent event(type, key, modifiers, text);
    // Not spontaneous: QApplication::notify then offers a press to the shortcuts first
    // (ShortcutOverride), as it does for a key from the keyboard.
    QCoreApplication::sendEvent(target, &event);
    return true;
}

} // namespace

bool click(QWidget *control)
{
    QWidget *top = control->window();
    const QPointer<QWindow> window = top->windowHandle();
    if (!window)
        return false;
    const QPoint at = control->mapTo(top, control->rect().center());
    const QPoint global = window->mapToGlobal(at);
    // The pointer gets there before the button goes down: enter and leave come first.
    if (global != pointer) {
        pointer = global;
        sendMouse(window, QEvent::MouseMove, at, global, Qt::NoButton, Qt::NoButton);
    }
    if (window)
        sendMouse(window, QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton);
    if (window)
        sendMouse(window, QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton);
    QCoreApplication::processEvents();
    return true;
}

void keyClick(QWidget *target, Qt::Key key, const QString &text, Qt::KeyboardModifiers modifiers)
{
    const QPointer<QWidget> receiver(target);
    // Each modifier key goes down carrying those already held and comes up still carrying itself.
    Qt::KeyboardModifiers held;
    for (const auto &m : modifierKeys) {
        if (!(modifiers & m.modifier))
            continue;
        if (!sendKey(receiver, QEvent::KeyPress, m.key, held))
            return;
        held |= m.modifier;
    }
    if (!sendKey(receiver, QEvent::KeyPress, key, modifiers, text) ||
        !sendKey(receiver, QEvent::KeyRelease, key, modifiers, text))
        return;
    for (auto m = std::rbegin(modifierKeys); m != std::rend(modifierKeys); ++m) {
        if (!(modifiers & m->modifier))
            continue;
        if (!sendKey(receiver, QEvent::KeyRelease, m->key, held))
            return;
        held &= ~m->modifier;
    }
}

void typeCharacter(QWidget *target, QChar ch)
{
    const char16_t code = ch.unicode();
    Qt::Key key = Qt::Key_unknown;
    // The key codes of printable ASCII are the characters themselves, letters upper case.
    if (code >= 0x20 && code < 0x7f)
        key = Qt::Key(code >= u'a' && code <= u'z' ? code - u'a' + u'A' : code);
    keyClick(target, key, QString(ch));
}

bool waitForActive(QWidget *widget, int timeout)
{
    const QPointer<QWindow> window = widget->window()->windowHandle();
    if (!window)
        return false;
    const QDeadlineTimer deadline(timeout, Qt::PreciseTimer);
    while (!window->isActive()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (!window)
            return false;
        if (!window->isActive())
            QThread::msleep(qMin<qint64>(10, deadline.remainingTime()));
    }
    return true;
}

} // namespace Velmora::UserInput
