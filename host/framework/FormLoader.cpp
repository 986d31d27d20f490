#include "FormLoader.h"

#include "ComponentRegistry.h"
#include "ControlState.h"
#include "Events.h"
#include "TForm.h"
#include "rtl/Exceptions.h"
#include "rtl/JsonErrorText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaProperty>
#include <QWidget>

#include <algorithm>

namespace FormLoader {

namespace {

using Velmora::EventSignature;
using Velmora::EventSpec;

QList<EventSpec> formEvents()
{
    return {{QStringLiteral("OnCreate"), EventSignature::Notify},
            {QStringLiteral("OnActivate"), EventSignature::Notify},
            {QStringLiteral("OnDestroy"), EventSignature::Notify},
            {QStringLiteral("OnClose"), EventSignature::Close}};
}

struct Reference
{
    QObject *object;
    QString property;
    QString target;
};

class Loader
{
public:
    explicit Loader(TForm *form) : m_form(form) {}

    void load(const QString &path, int depth);
    void finish();

private:
    QJsonObject readJson(const QString &path);
    QString resolve(const QString &base, const QString &path) const;
    QJsonObject entryFrom(const QString &descriptionPath, const QJsonObject &entry);
    void addComponent(const QString &descriptionPath, const QJsonObject &entry);
    void changeComponent(const QJsonObject &entry);
    void setProperties(QObject *object, const QString &name, const QJsonObject &properties);
    void bindEvents(QObject *object, const QString &name, const QList<EventSpec> &allowed,
                    const QJsonObject &events);
    void layFocusChain();
    void collectFocus(QWidget *container, QList<QWidget *> &chain) const;
    void error(const QString &text) { m_errors << text; }

    TForm *m_form;
    QString m_rootPath;
    QHash<QString, QObject *> m_components;
    QHash<QObject *, QList<EventSpec>> m_events;
    QHash<const QObject *, int> m_order;
    QList<Reference> m_references;
    QStringList m_errors;
    QStringList m_chain;
};

QString Loader::resolve(const QString &base, const QString &path) const
{
    if (path.startsWith(QLatin1Char(':')) || QDir::isAbsolutePath(path))
        return path;
    return QDir::cleanPath(QFileInfo(base).path() + QLatin1Char('/') + path);
}

QJsonObject Loader::readJson(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(QStringLiteral("Descrição de formulário '%1' não encontrada.").arg(path));
    QJsonParseError parseError{};
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError)
        throw Exception(QStringLiteral("Descrição de formulário '%1' inválida na posição %2: %3.")
                            .arg(path)
                            .arg(parseError.offset)
                            .arg(Velmora::JsonErrorText(parseError.error)));
    if (!doc.isObject())
        throw Exception(
            QStringLiteral("Descrição de formulário '%1' inválida: não é um objeto.").arg(path));
    return doc.object();
}

void Loader::load(const QString &path, int depth)
{
    if (depth > 8)
        throw Exception(
            QStringLiteral("Descrição de formulário '%1': herança circular.").arg(path));
    if (depth == 0)
        m_rootPath = path;
    const QJsonObject doc = readJson(path);
    if (doc.contains(QLatin1String("inherits")))
        load(resolve(path, doc.value(QLatin1String("inherits")).toString()), depth + 1);

    static const QStringList known{
        QStringLiteral("$schema"),  QStringLiteral("version"), QStringLiteral("class"),
        QStringLiteral("inherits"), QStringLiteral("name"),    QStringLiteral("properties"),
        QStringLiteral("events"),   QStringLiteral("changes"), QStringLiteral("components")};
    for (auto it = doc.begin(); it != doc.end(); ++it)
        if (!known.contains(it.key()))
            error(QStringLiteral("chave '%1' desconhecida em '%2'").arg(it.key(), path));
    // A description written for a later loader is refused rather than half understood.
    if (doc.contains(QLatin1String("version")) && doc.value(QLatin1String("version")) != 1)
        error(QStringLiteral("versão %1 não suportada em '%2' (esperada 1)")
                  .arg(doc.value(QLatin1String("version")).toVariant().toString(), path));

    if (doc.contains(QLatin1String("name")))
        m_form->setObjectName(doc.value(QLatin1String("name")).toString());
    m_events[m_form] = formEvents();
    setProperties(m_form, m_form->objectName(), doc.value(QLatin1String("properties")).toObject());
    bindEvents(m_form, m_form->objectName(), formEvents(),
               doc.value(QLatin1String("events")).toObject());
    for (const QJsonValue change : doc.value(QLatin1String("changes")).toArray())
        changeComponent(change.toObject());
    for (const QJsonValue component : doc.value(QLatin1String("components")).toArray())
        addComponent(path, component.toObject());
}

// An entry may take its definition from a data file ("from"), which holds one component or
// a list of them, each possibly with its "fields"; the entry's own settings come on top.
QJsonObject Loader::entryFrom(const QString &descriptionPath, const QJsonObject &entry)
{
    if (!entry.contains(QLatin1String("from")))
        return entry;
    const QString name = entry.value(QLatin1String("name")).toString();
    const QString file = resolve(descriptionPath, entry.value(QLatin1String("from")).toString());
    const QJsonObject data = readJson(file);
    QJsonArray candidates = data.value(QLatin1String("components")).toArray();
    if (data.contains(QLatin1String("name")))
        candidates.prepend(data);
    QJsonObject found;
    for (int i = 0; i < candidates.size() && found.isEmpty(); ++i) {
        const QJsonObject c = candidates.at(i).toObject();
        if (c.value(QLatin1String("name")).toString() == name)
            found = c;
        for (const QJsonValue field : c.value(QLatin1String("fields")).toArray()) {
            QJsonObject f = field.toObject();
            if (f.value(QLatin1String("name")).toString() == name) {
                QJsonObject props = f.value(QLatin1String("properties")).toObject();
                if (!props.contains(QLatin1String("DataSet")))
                    props.insert(QLatin1String("DataSet"), c.value(QLatin1String("name")));
                f.insert(QLatin1String("properties"), props);
                found = f;
            }
        }
    }
    if (found.isEmpty())
        throw Exception(
            QStringLiteral("Componente '%1' não está definido em '%2'.").arg(name, file));
    found.remove(QLatin1String("fields"));
    QJsonObject properties = found.value(QLatin1String("properties")).toObject();
    const QJsonObject own = entry.value(QLatin1String("properties")).toObject();
    for (auto it = own.begin(); it != own.end(); ++it)
        properties.insert(it.key(), it.value());
    found.insert(QLatin1String("properties"), properties);
    for (auto it = entry.begin(); it != entry.end(); ++it)
        if (it.key() != QLatin1String("properties") && it.key() != QLatin1String("from"))
            found.insert(it.key(), it.value());
    return found;
}

void Loader::addComponent(const QString &descriptionPath, const QJsonObject &rawEntry)
{
    QJsonObject entry;
    try {
        entry = entryFrom(descriptionPath, rawEntry);
    } catch (const Exception &e) {
        error(e.Message());
        return;
    }
    const QString name = entry.value(QLatin1String("name")).toString();
    const QString className = entry.value(QLatin1String("class")).toString();
    if (name.isEmpty()) {
        error(QStringLiteral("componente sem nome (classe '%1')").arg(className));
        return;
    }
    if (m_components.contains(name) || name == m_form->objectName()) {
        error(QStringLiteral("componente '%1' declarado duas vezes").arg(name));
        return;
    }
    const Velmora::ComponentClass *cls = Velmora::ComponentRegistry::instance().Find(className);
    if (!cls) {
        error(QStringLiteral("classe '%1' do componente '%2' não está registrada")
                  .arg(className, name));
        return;
    }
    QWidget *parent = m_form;
    const QString parentName = entry.value(QLatin1String("parent")).toString();
    if (!parentName.isEmpty()) {
        parent = qobject_cast<QWidget *>(m_components.value(parentName));
        if (!parent) {
            error(QStringLiteral("pai '%1' do componente '%2' não existe").arg(parentName, name));
            return;
        }
    }
    QObject *object = cls->create(m_form, parent);
    if (!object->isWidgetType())
        object->setParent(m_form);
    object->setObjectName(name);
    m_order.insert(object, static_cast<int>(m_order.size()));
    m_components.insert(name, object);
    m_events[object] = cls->events;
    setProperties(object, name, entry.value(QLatin1String("properties")).toObject());
    bindEvents(object, name, cls->events, entry.value(QLatin1String("events")).toObject());
}

void Loader::changeComponent(const QJsonObject &entry)
{
    const QString name = entry.value(QLatin1String("name")).toString();
    QObject *object = m_components.value(name);
    if (!object) {
        error(QStringLiteral("componente herdado '%1' não existe").arg(name));
        return;
    }
    setProperties(object, name, entry.value(QLatin1String("properties")).toObject());
    bindEvents(object, name, m_events.value(object),
               entry.value(QLatin1String("events")).toObject());
}

void Loader::setProperties(QObject *object, const QString &name, const QJsonObject &properties)
{
    const QMetaObject *meta = object->metaObject();
    for (auto it = properties.begin(); it != properties.end(); ++it) {
        const QByteArray key = it.key().toLatin1();
        const int index = meta->indexOfProperty(key.constData());
        if (index < 0) {
            error(QStringLiteral("propriedade '%1' não existe em '%2' (%3)")
                      .arg(it.key(), name, QString::fromLatin1(meta->className())));
            continue;
        }
        const QMetaProperty property = meta->property(index);
        const QJsonValue value = it.value();
        if (property.metaType().flags().testFlag(QMetaType::PointerToQObject)) {
            if (!value.isString() && !value.isNull()) {
                error(QStringLiteral("propriedade '%1' de '%2' deve nomear um componente")
                          .arg(it.key(), name));
                continue;
            }
            m_references.append({object, it.key(), value.toString()});
            continue;
        }
        QVariant v = value.toVariant();
        if (property.metaType().id() == QMetaType::QStringList && value.isArray())
            v = v.toStringList();
        // A text where a number or a flag belongs is an error, not a zero; an enumeration
        // takes the name of one of its values.
        bool typed = false;
        if (property.isEnumType() && value.isString()) {
            bool known = false;
            const int number =
                property.enumerator().keyToValue(value.toString().toLatin1().constData(), &known);
            typed = known;
            v = number;
        } else {
            typed = property.metaType().id() == QMetaType::QVariant ||
                    (value.isString() == (property.metaType().id() == QMetaType::QString) &&
                     v.convert(property.metaType()));
        }
        if (!typed || !property.isWritable() || !property.write(object, v))
            error(QStringLiteral("valor inválido para a propriedade '%1' de '%2'")
                      .arg(it.key(), name));
    }
}

void Loader::bindEvents(QObject *object, const QString &name, const QList<EventSpec> &allowed,
                        const QJsonObject &events)
{
    for (auto it = events.begin(); it != events.end(); ++it) {
        const auto declared = std::find_if(allowed.begin(), allowed.end(),
                                           [&](const EventSpec &s) { return s.name == it.key(); });
        if (declared == allowed.end()) {
            error(QStringLiteral("evento '%1' não existe em '%2'").arg(it.key(), name));
            continue;
        }
        QString why;
        if (!Velmora::Events::of(object).bind(declared->name, declared->signature, m_form,
                                              it.value().toString().toLatin1(), &why))
            error(QStringLiteral("evento '%1' de '%2': %3").arg(it.key(), name, why));
    }
}

void Loader::collectFocus(QWidget *container, QList<QWidget *> &chain) const
{
    QList<QWidget *> children;
    for (QObject *child : container->children()) {
        auto *w = qobject_cast<QWidget *>(child);
        if (w && Velmora::StateOf(w))
            children << w;
    }
    std::stable_sort(children.begin(), children.end(), [this](QWidget *a, QWidget *b) {
        const int ta = Velmora::StateOf(a)->tabOrder(), tb = Velmora::StateOf(b)->tabOrder();
        if (ta != tb)
            return ta < tb;
        return m_order.value(a) < m_order.value(b);
    });
    for (QWidget *w : children) {
        const Velmora::ControlState *state = Velmora::StateOf(w);
        if (state->tabStop() && (w->focusPolicy() & Qt::TabFocus))
            chain << w;
        collectFocus(w, chain);
    }
}

void Loader::layFocusChain()
{
    QList<QWidget *> chain;
    collectFocus(m_form, chain);
    for (qsizetype i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain.at(i - 1), chain.at(i));
}

void Loader::finish()
{
    for (const Reference &ref : std::as_const(m_references)) {
        QObject *target = nullptr;
        if (!ref.target.isEmpty()) {
            target = ref.target == m_form->objectName() ? m_form : m_components.value(ref.target);
            if (!target) {
                error(QStringLiteral("componente '%1', nomeado pela propriedade '%2' de '%3', "
                                     "não existe")
                          .arg(ref.target, ref.property, ref.object->objectName()));
                continue;
            }
        }
        const QMetaObject *meta = ref.object->metaObject();
        const QMetaProperty property =
            meta->property(meta->indexOfProperty(ref.property.toLatin1().constData()));
        QVariant v = QVariant::fromValue(target);
        if (!v.convert(property.metaType()) || !property.write(ref.object, v))
            error(QStringLiteral("componente '%1' não serve à propriedade '%2' de '%3'")
                      .arg(ref.target, ref.property, ref.object->objectName()));
    }
    layFocusChain();
    if (!m_errors.isEmpty())
        throw Exception(QStringLiteral("Descrição de formulário '%1' com erros:\n%2")
                            .arg(m_rootPath, m_errors.join(QLatin1Char('\n'))));
}

} // namespace

void Load(TForm *form, const QString &path)
{
    Loader loader(form);
    loader.load(path, 0);
    loader.finish();
}

} // namespace FormLoader
