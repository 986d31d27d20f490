#include "Dispatch.h"

#include "Services.h"
#include "rtl/Exceptions.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#include <vector>

Q_LOGGING_CATEGORY(lcDispatch, "velmora.dispatch")

namespace Velmora {

namespace {
int depth = 0;
int failures = 0;
int refusing = 0;
std::vector<std::function<void()>> deferred;

void show(const QString &text)
{
    try {
        Services::current().showMessage(text);
    } catch (...) {
        qCCritical(lcDispatch) << "message service failed while showing:" << text;
    }
}
} // namespace

bool Dispatch(const std::function<void()> &code)
{
    if (refusing > 0) {
        qCDebug(lcDispatch) << "event refused: a call to the application server is pending";
        return false;
    }
    if (depth > 0) {
        code();
        return true;
    }
    ++depth;
    bool ok = false;
    try {
        code();
        ok = true;
    } catch (const EAbort &) {
    } catch (const Exception &e) {
        show(e.Message());
    } catch (const std::exception &e) {
        show(QString::fromUtf8(e.what()));
    } catch (...) {
        show(QStringLiteral("Erro inesperado."));
    }
    --depth;
    if (!ok)
        ++failures;
    return ok;
}

bool InFormCode()
{
    return depth > 0;
}

int FailedEvents()
{
    return failures;
}

RefuseScope::RefuseScope()
{
    ++refusing;
}

RefuseScope::~RefuseScope()
{
    if (--refusing > 0)
        return;
    for (auto &code : std::exchange(deferred, {}))
        DispatchWhenAccepted(std::move(code));
}

// Through the event loop, as the event it stands for; a call pending by then (the loop turns
// while it waits) holds it back again.
void DispatchWhenAccepted(std::function<void()> code)
{
    QMetaObject::invokeMethod(
        qApp,
        [code = std::move(code)]() mutable {
            if (refusing > 0)
                deferred.push_back(std::move(code));
            else
                Dispatch(code);
        },
        Qt::QueuedConnection);
}

bool RefusingEvents()
{
    return refusing > 0;
}

ModalScope::ModalScope() : m_savedDepth(depth)
{
    depth = 0;
}

ModalScope::~ModalScope()
{
    depth = m_savedDepth;
}

} // namespace Velmora
