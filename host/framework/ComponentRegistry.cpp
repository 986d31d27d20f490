#include "ComponentRegistry.h"

#include "TMessages.h"
#include "TNetConnection.h"
#include "controls/TBevel.h"
#include "controls/TBtnPesquisa.h"
#include "controls/TButton.h"
#include "controls/TCheckBox.h"
#include "controls/TComboBox.h"
#include "controls/TDateEditPlus.h"
#include "controls/TEdit.h"
#include "controls/TGroupBox.h"
#include "controls/TLabel.h"
#include "controls/TMaskEdit.h"
#include "controls/TPanel.h"
#include "controls/TRadioButton.h"
#include "controls/TSpeedButton.h"
#include "data/TADOIBQuery.h"
#include "data/TClientDataSet.h"
#include "data/TDataSource.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcRegistry, "velmora.registry")

namespace Velmora {

ComponentRegistry &ComponentRegistry::instance()
{
    static ComponentRegistry registry;
    return registry;
}

bool ComponentRegistry::Register(const ComponentClass &componentClass)
{
    if (m_classes.contains(componentClass.name)) {
        qCWarning(lcRegistry) << "class already registered:" << componentClass.name;
        return false;
    }
    m_classes.insert(componentClass.name, componentClass);
    return true;
}

void ComponentRegistry::Unregister(const QString &name)
{
    m_classes.remove(name);
}

const ComponentClass *ComponentRegistry::Find(const QString &name) const
{
    const auto it = m_classes.constFind(name);
    return it == m_classes.cend() ? nullptr : &*it;
}

QStringList ComponentRegistry::Names() const
{
    QStringList names = m_classes.keys();
    names.sort();
    return names;
}

namespace {
template <class Widget> ComponentFactory widgetFactory()
{
    return [](QObject *, QWidget *parent) -> QObject * { return new Widget(parent); };
}

template <class Component> ComponentFactory objectFactory()
{
    return [](QObject *owner, QWidget *) -> QObject * { return new Component(owner); };
}

const EventSpec onEnter{QStringLiteral("OnEnter"), EventSignature::Notify};
const EventSpec onExit{QStringLiteral("OnExit"), EventSignature::Notify};
const EventSpec onChange{QStringLiteral("OnChange"), EventSignature::Notify};
const EventSpec onClick{QStringLiteral("OnClick"), EventSignature::Notify};
const EventSpec onBeforePesq{QStringLiteral("OnBeforePesq"), EventSignature::NotifyBool};
const EventSpec onAfterPesq{QStringLiteral("OnAfterPesq"), EventSignature::Notify};
} // namespace

void RegisterFrameworkComponents()
{
    ComponentRegistry &r = ComponentRegistry::instance();
    if (r.Find(QStringLiteral("TLabel")))
        return;
    r.Register({QStringLiteral("TLabel"), widgetFactory<TLabel>(), {onClick}});
    r.Register({QStringLiteral("TEdit"), widgetFactory<TEdit>(), {onChange, onEnter, onExit}});
    r.Register({QStringLiteral("TGroupBox"), widgetFactory<TGroupBox>(), {onEnter, onExit}});
    r.Register({QStringLiteral("TPanel"), widgetFactory<TPanel>(), {onEnter, onExit}});
    r.Register({QStringLiteral("TBevel"), widgetFactory<TBevel>(), {}});
    r.Register({QStringLiteral("TRadioButton"),
                widgetFactory<TRadioButton>(),
                {onClick, onEnter, onExit}});
    r.Register(
        {QStringLiteral("TCheckBox"), widgetFactory<TCheckBox>(), {onClick, onEnter, onExit}});
    r.Register(
        {QStringLiteral("TComboBox"), widgetFactory<TComboBox>(), {onChange, onEnter, onExit}});
    r.Register({QStringLiteral("TSpeedButton"), widgetFactory<TSpeedButton>(), {onClick}});
    r.Register({QStringLiteral("TButton"), widgetFactory<TButton>(), {onClick, onEnter, onExit}});
    r.Register(
        {QStringLiteral("TMaskEdit"), widgetFactory<TMaskEdit>(), {onChange, onEnter, onExit}});
    r.Register({QStringLiteral("TDateEditPlus"),
                widgetFactory<TDateEditPlus>(),
                {onChange, onEnter, onExit}});
    r.Register({QStringLiteral("TBtnPesquisa"),
                widgetFactory<TBtnPesquisa>(),
                {onClick, onBeforePesq, onAfterPesq}});
    r.Register({QStringLiteral("TMessages"), objectFactory<TMessages>(), {}});
    r.Register({QStringLiteral("TStringField"), objectFactory<TStringField>(), {}});
    r.Register({QStringLiteral("TDateTimeField"), objectFactory<TDateTimeField>(), {}});
    r.Register({QStringLiteral("TDataSource"), objectFactory<TDataSource>(), {}});
    r.Register({QStringLiteral("TNetConnection"),
                objectFactory<TNetConnection>(),
                {{QStringLiteral("BeforeConnect"), EventSignature::Notify}}});
    r.Register({QStringLiteral("TADOIBStringField"), objectFactory<TADOIBStringField>(), {}});
    r.Register({QStringLiteral("TADOIBQuery"), objectFactory<TADOIBQuery>(), {}});
    r.Register({QStringLiteral("TClientDataSet"), objectFactory<TClientDataSet>(), {}});
}

} // namespace Velmora
