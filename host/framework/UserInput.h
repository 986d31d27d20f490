#pragma once

#include "framework_global.h"

#include <QString>
#include <Qt>

class QWidget;

// A user's mouse and keyboard for the batch runner and the parameter sets, through Qt's public
// event API: the events take the road the platform's take, so focus moves, exit checks and
// shortcuts behave as they do for a person at the screen.
namespace Velmora::UserInput {

// A left click at the control's centre, sent to its window: Qt finds the widget under the
// point and gives it the focus a click gives before the press reaches it. False when the
// control is on no window yet.
VELMORA_FRAMEWORK_EXPORT bool click(QWidget *control);

// The key pressed and released on target, its modifiers held around it.
VELMORA_FRAMEWORK_EXPORT void keyClick(QWidget *target, Qt::Key key, const QString &text = {},
                                       Qt::KeyboardModifiers modifiers = Qt::NoModifier);

// One character typed on target: printable ASCII on its own key, anything else as text
// without a key, as an input method delivers it.
VELMORA_FRAMEWORK_EXPORT void typeCharacter(QWidget *target, QChar ch);

// Runs the event loop until the widget's window is the active one, for at most timeout ms.
VELMORA_FRAMEWORK_EXPORT bool waitForActive(QWidget *widget, int timeout = 5000);

} // namespace Velmora::UserInput
