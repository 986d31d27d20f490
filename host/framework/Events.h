#pragma once

#include "framework_global.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMetaMethod>
#include <QObject>
#include <QPointer>
#include <QString>

class TParams;
enum class TCloseAction;

namespace Velmora {

// The parameter lists a handler may take, as the form class declares them.
enum class EventSignature {
    Notify,      // Handler(QObject *sender)
    NotifyBool,  // Handler(QObject *sender, bool &flag)
    QueryParams, // Handler(TParams *params, bool &flag)
    Close,       // Handler(QObject *sender, TCloseAction &action)
};

struct EventSpec
{
    QString name;
    EventSignature signature;
};

// The normalised parameter list a handler of that signature must have, e.g. "QObject*,bool&".
VELMORA_FRAMEWORK_EXPORT QByteArray ParameterList(EventSignature signature);

// The handlers bound to one component's events. Each component holds one as a child object;
// Events::of(component) finds or makes it.
class VELMORA_FRAMEWORK_EXPORT Events : public QObject
{
    Q_OBJECT
public:
    static Events &of(QObject *component);
    static const Events *find(const QObject *component);

    // Binds event to the method handlerName of target; the method must take exactly the
    // parameters of the signature. On failure returns false and explains in *error.
    bool bind(const QString &event, EventSignature signature, QObject *target,
              const QByteArray &handlerName, QString *error);
    void unbind(const QString &event);
    bool isBound(const QString &event) const;
    QString handlerName(const QString &event) const;

    // Calls the bound handler at once; exceptions travel to the caller. Nothing happens when
    // the event has no handler. Use inside form code, or wrap in Dispatch.
    void call(const QString &event, QObject *sender) const;
    void call(const QString &event, QObject *sender, bool &flag) const;
    void call(const QString &event, TParams *params, bool &flag) const;
    void call(const QString &event, QObject *sender, TCloseAction &action) const;

    // Fires an event raised by the user (from a Qt signal or event): through the dispatch
    // boundary. Returns false when the handler ended by an exception.
    bool fire(const QString &event, QObject *sender) const;

private:
    explicit Events(QObject *component);
    struct Binding
    {
        QPointer<QObject> target;
        QMetaMethod method;
        EventSignature signature;
    };
    const Binding *binding(const QString &event, EventSignature signature) const;
    QHash<QString, Binding> m_bindings;
};

} // namespace Velmora
