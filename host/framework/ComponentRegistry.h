#pragma once

#include "Events.h"
#include "framework_global.h"

#include <QHash>
#include <QList>
#include <QString>
#include <functional>

class QWidget;

namespace Velmora {

// Makes one component. owner: the screen that owns it; parent: the widget it sits in (the
// screen itself, a group box, a panel), ignored by non-visual components.
using ComponentFactory = std::function<QObject *(QObject *owner, QWidget *parent)>;

struct ComponentClass
{
    QString name; // the class name the form descriptions use ("TEdit")
    ComponentFactory create;
    QList<EventSpec> events; // the events a description may bind on it
};

// The classes that form descriptions may name. Each unit registers its classes in its
// initialisation and unregisters them in its finalisation; a name is registered once.
class VELMORA_FRAMEWORK_EXPORT ComponentRegistry
{
public:
    static ComponentRegistry &instance();

    // False (and nothing registered) when the name is taken.
    bool Register(const ComponentClass &componentClass);
    void Unregister(const QString &name);
    const ComponentClass *Find(const QString &name) const;
    QStringList Names() const;

private:
    QHash<QString, ComponentClass> m_classes;
};

// Registers the framework's own component classes; safe to call more than once.
VELMORA_FRAMEWORK_EXPORT void RegisterFrameworkComponents();

} // namespace Velmora
