// A call to the application server seen from the GUI thread: the exchange off the thread, the
// wait shown after a moment and given up from there. What the wait keeps out is tried on the
// screen (tests/fis01400/tst_faults.cpp).
#include "RecordingServices.h"
#include "framework/ServerWait.h"
#include "rtl/Exceptions.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <condition_variable>
#include <memory>
#include <mutex>

namespace {

// An exchange that lasts a given time unless stopped, as a socket shut down under a request.
struct Exchange
{
    std::mutex mutex;
    std::condition_variable changed;
    bool stopped = false;
};

std::function<void()> lasting(const std::shared_ptr<Exchange> &e, int ms, bool fails = false)
{
    return [e, ms, fails] {
        std::unique_lock<std::mutex> lock(e->mutex);
        e->changed.wait_for(lock, std::chrono::milliseconds(ms), [&] { return e->stopped; });
        if (fails)
            throw ERemoteError(QStringLiteral("O servidor de aplicação recusou a chamada."));
    };
}

std::function<void()> stopping(const std::shared_ptr<Exchange> &e)
{
    return [e] {
        const std::lock_guard<std::mutex> lock(e->mutex);
        e->stopped = true;
        e->changed.notify_all();
    };
}

enum class Ends { Answered, Failed, Abort };

Ends runOnce(int lastsMs, bool fails, bool &stopped, qint64 &elapsed)
{
    auto exchange = std::make_shared<Exchange>();
    QElapsedTimer clock;
    clock.start();
    Ends ends = Ends::Answered;
    try {
        Velmora::ServerWait wait;
        wait.run(lasting(exchange, lastsMs, fails), stopping(exchange));
    } catch (const EAbort &) {
        ends = Ends::Abort;
    } catch (const ERemoteError &) {
        ends = Ends::Failed;
    }
    elapsed = clock.elapsed();
    stopped = exchange->stopped;
    return ends;
}

TEST(ServerWaitTest, TheScriptedUserGivesUpOnlyAPendingCall)
{
    const struct
    {
        const char *name;
        int lastsMs;
        bool fails;
        int cancelAfterMs; // -1: no answer queued
        Ends ends;
        qint64 atMostMs;
    } cases[] = {
        {"a quick answer shows no wait", 20, false, 0, Ends::Answered, 400},
        {"a failure reaches the caller", 20, true, -1, Ends::Failed, 400},
        {"given up while pending", 10000, false, 100, Ends::Abort, 2000},
        {"the answer comes before the user gives up", 800, false, 3000, Ends::Answered, 2500},
        {"no one to ask: waited for to the end", 800, false, -1, Ends::Answered, 2500},
    };
    for (const auto &c : cases) {
        RecordingServices services;
        if (c.cancelAfterMs >= 0)
            services.queueServerCancel(c.cancelAfterMs);
        bool stopped = false;
        qint64 elapsed = 0;
        EXPECT_EQ(runOnce(c.lastsMs, c.fails, stopped, elapsed), c.ends) << c.name;
        EXPECT_LE(elapsed, c.atMostMs) << c.name;
        EXPECT_EQ(stopped, c.ends == Ends::Abort) << c.name;
        EXPECT_EQ(services.events.size(), c.ends == Ends::Abort ? 1 : 0) << c.name;
        EXPECT_TRUE(services.messages().isEmpty()) << c.name;
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr) << c.name;
    }
}

// The real dialog, closed by the user's Cancelar or by the call's end.
TEST(ServerWaitTest, TheRealDialogGivesUpOrClosesByItself)
{
    Velmora::Services::install(nullptr);
    for (const bool giveUp : {true, false}) {
        QString shown;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            QWidget *dialog = QApplication::activeModalWidget();
            if (!dialog || dialog->objectName() != QLatin1String("dlgServerWait") ||
                !shown.isEmpty())
                return;
            shown = dialog->findChild<QLabel *>()->text();
            if (giveUp)
                QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("btnCancelar")),
                                  Qt::LeftButton);
        });
        poll.start(20);
        bool stopped = false;
        qint64 elapsed = 0;
        const Ends ends = runOnce(giveUp ? 10000 : 900, false, stopped, elapsed);
        poll.stop();
        EXPECT_EQ(shown, QStringLiteral("Consultando o servidor de aplicação…")) << giveUp;
        EXPECT_EQ(ends, giveUp ? Ends::Abort : Ends::Answered);
        EXPECT_EQ(stopped, giveUp);
        EXPECT_LT(elapsed, 3000);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }
}

} // namespace
