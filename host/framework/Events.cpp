#include "Events.h"

#include "Dispatch.h"
#include "rtl/Exceptions.h"

namespace Velmora {

namespace {
const char *const tableName = "__velmora_events";
}

QByteArray ParameterList(EventSignature signature)
{
    switch (signature) {
    case EventSignature::Notify:
        return "QObject*";
    case EventSignature::NotifyBool:
        return "QObject*,bool&";
    case EventSignature::QueryParams:
        return "TParams*,bool&";
    case EventSignature::Close:
        return "QObject*,TCloseAction&";
    }
    return {};
}

Events::Events(QObject *component) : QObject(component)
{
    setObjectName(QLatin1String(tableName));
}

Events &Events::of(QObject *component)
{
    if (auto *table = const_cast<Events *>(find(component)))
        return *table;
    return *new Events(component);
}

const Events *Events::find(const QObject *component)
{
    if (!component)
        return nullptr;
    return component->findChild<Events *>(QLatin1String(tableName), Qt::FindDirectChildrenOnly);
}

bool Events::bind(const QString &event, EventSignature signature, QObject *target,
                  const QByteArray &handlerName, QString *error)
{
    const QMetaObject *meta = target->metaObject();
    const QByteArray wanted = handlerName + '(' + ParameterList(signature) + ')';
    const int index = meta->indexOfMethod(QMetaObject::normalizedSignature(wanted.constData()));
    if (index < 0) {
        if (error) {
            bool named = false;
            for (int i = 0; i < meta->methodCount(); ++i)
                named = named || meta->method(i).name() == handlerName;
            *error = named ? QStringLiteral("o manipulador '%1' de %2 não tem os parâmetros (%3)")
                                 .arg(QString::fromLatin1(handlerName),
                                      QString::fromLatin1(meta->className()),
                                      QString::fromLatin1(ParameterList(signature)))
                           : QStringLiteral("manipulador '%1' não existe em %2")
                                 .arg(QString::fromLatin1(handlerName),
                                      QString::fromLatin1(meta->className()));
        }
        return false;
    }
    m_bindings.insert(event, Binding{target, meta->method(index), signature});
    return true;
}

void Events::unbind(const QString &event)
{
    m_bindings.remove(event);
}

bool Events::isBound(const QString &event) const
{
    const auto it = m_bindings.constFind(event);
    return it != m_bindings.cend() && it->target;
}

QString Events::handlerName(const QString &event) const
{
    const auto it = m_bindings.constFind(event);
    return it == m_bindings.cend() ? QString() : QString::fromLatin1(it->method.name());
}

const Events::Binding *Events::binding(const QString &event, EventSignature signature) const
{
    const auto it = m_bindings.constFind(event);
    if (it == m_bindings.cend() || !it->target)
        return nullptr;
    if (it->signature != signature)
        throw Exception(
            QStringLiteral("Evento '%1' chamado com parâmetros diferentes dos declarados.")
                .arg(event));
    return &*it;
}

// The handlers run on the calling thread (DirectConnection), so an exception they raise
// travels back through invoke to the caller of call().
void Events::call(const QString &event, QObject *sender) const
{
    if (const Binding *b = binding(event, EventSignature::Notify))
        b->method.invoke(b->target.data(), Qt::DirectConnection, Q_ARG(QObject *, sender));
}

void Events::call(const QString &event, QObject *sender, bool &flag) const
{
    if (const Binding *b = binding(event, EventSignature::NotifyBool))
        b->method.invoke(b->target.data(), Qt::DirectConnection, Q_ARG(QObject *, sender),
                         QGenericArgument("bool&", &flag));
}

void Events::call(const QString &event, TParams *params, bool &flag) const
{
    if (const Binding *b = binding(event, EventSignature::QueryParams))
        b->method.invoke(b->target.data(), Qt::DirectConnection,
                         QGenericArgument("TParams*", &params), QGenericArgument("bool&", &flag));
}

void Events::call(const QString &event, QObject *sender, TCloseAction &action) const
{
    if (const Binding *b = binding(event, EventSignature::Close))
        b->method.invoke(b->target.data(), Qt::DirectConnection, Q_ARG(QObject *, sender),
                         QGenericArgument("TCloseAction&", &action));
}

bool Events::fire(const QString &event, QObject *sender) const
{
    if (!isBound(event))
        return true;
    return Dispatch([&] { call(event, sender); });
}

} // namespace Velmora
