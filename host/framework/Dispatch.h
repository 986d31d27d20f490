#pragma once

#include "framework_global.h"

#include <functional>

namespace Velmora {

// The dispatch boundary: every entry from the event loop into form code (handlers, timers,
// button and menu slots, loading) goes through Dispatch. At the outermost entry it catches
// what the code raises: EAbort silently, any other exception by showing its message once
// through the message service. Nested entries (a handler writing a text that raises a change
// event) run the code directly, so an exception travels to the outermost entry as it would
// through the call stack. Nothing ever throws through Qt.
// Returns false when the code ended by an exception, or did not run because a RefuseScope
// is held.
VELMORA_FRAMEWORK_EXPORT bool Dispatch(const std::function<void()> &code);

// True while form code runs: focus moves made then are the code's, not the user's.
VELMORA_FRAMEWORK_EXPORT bool InFormCode();

// Number of events that ended by an exception since the process started (the batch runner
// tells an ok step from a failed one with it).
VELMORA_FRAMEWORK_EXPORT int FailedEvents();

// A modal dialog runs a nested event loop: the events it delivers are new entries from the
// loop, not part of the code that opened it. Hold a ModalScope around exec().
class VELMORA_FRAMEWORK_EXPORT ModalScope
{
public:
    ModalScope();
    ~ModalScope();
    ModalScope(const ModalScope &) = delete;
    ModalScope &operator=(const ModalScope &) = delete;

private:
    int m_savedDepth;
};

// While the GUI thread waits for the application server its event loop turns, but the code
// that waits is still on the stack: no other event may enter form code, or it would run in
// the middle of that code. Dispatch refuses every entry while a RefuseScope is held; a refused
// event does not run and counts as no failure.
class VELMORA_FRAMEWORK_EXPORT RefuseScope
{
public:
    RefuseScope();
    ~RefuseScope();
    RefuseScope(const RefuseScope &) = delete;
    RefuseScope &operator=(const RefuseScope &) = delete;
};

// Runs code through Dispatch from the event loop, once no RefuseScope is held: work a screen
// starts by itself (not the user's event), which must not be lost to a pending call.
VELMORA_FRAMEWORK_EXPORT void DispatchWhenAccepted(std::function<void()> code);

// True while a RefuseScope is held.
VELMORA_FRAMEWORK_EXPORT bool RefusingEvents();

} // namespace Velmora
