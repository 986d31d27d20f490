#pragma once

#include "framework_global.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

namespace Velmora {

// The GUI thread's side of a call to the application server. While one lives, the wait
// cursor shows, no event enters form code (Dispatch refuses it) and the user's input to the
// windows is dropped. Each exchange given to run() goes to a worker thread while the GUI
// thread turns a local event loop, so the window repaints. Once the call has been pending for
// showAfterMs, the services show the wait and may give up the call: the exchange is then
// aborted and run() raises EAbort, the framework's silent end of an event.
//
// Without a widget application, or off its thread (a server's tools, a test's own threads),
// there is no one to show anything to: the exchange runs on the calling thread.
class VELMORA_FRAMEWORK_EXPORT ServerWait : public QObject
{
    Q_OBJECT
public:
    static constexpr int showAfterMs = 500;

    ServerWait();
    ~ServerWait() override;
    ServerWait(const ServerWait &) = delete;
    ServerWait &operator=(const ServerWait &) = delete;

    // Runs exchange on a worker thread and returns when it has ended, rethrowing what it
    // raised. The exchange must own everything it touches (copies, shared pointers): when the
    // user gives up, abort is called on this thread to make it end, and the worker is left to
    // finish on its own. May be called more than once; the delay before the wait shows counts
    // from the construction.
    void run(const std::function<void()> &exchange, const std::function<void()> &abort);

    // For the services: whether the exchange in progress has ended.
    bool isFinished() const { return m_finished; }
    // What the wait dialog says.
    static QString text();

signals:
    // The exchange in progress has ended (the wait shown for it may close).
    void finished();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Job;
    bool waitFor(); // false when the user gave up
    bool acceptsInput(QObject *watched) const;
    void ended();

    bool m_active = false;
    bool m_finished = true;
    bool m_shown = false;
    QElapsedTimer m_clock;
    QPointer<QWidget> m_modalAtStart;
};

} // namespace Velmora
