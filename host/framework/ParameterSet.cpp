#include "ParameterSet.h"

#include "ControlState.h"
#include "Events.h"
#include "FieldCheck.h"
#include "Services.h"
#include "TypedValues.h"
#include "UserInput.h"
#include "controls/TMaskEdit.h"
#include "data/TDataSet.h"
#include "data/TField.h"
#include "dialogs/SelectionString.h"
#include "rtl/Exceptions.h"

#include <QAbstractButton>
#include <QApplication>
#include <QJsonArray>
#include <QLineEdit>
#include <QMetaProperty>
#include <QSet>

#include <algorithm>

namespace Velmora {

namespace {

const QString onExit = QStringLiteral("OnExit");

bool isField(const QWidget *w)
{
    const auto *edit = qobject_cast<const QLineEdit *>(w);
    return edit && !edit->isReadOnly();
}

bool isChoice(const QWidget *w)
{
    const auto *button = qobject_cast<const QAbstractButton *>(w);
    return button && button->isCheckable();
}

void writeText(QWidget *w, const QString &text)
{
    const QMetaProperty value = w->metaObject()->userProperty();
    if (value.isValid())
        value.write(w, text);
    else if (auto *edit = qobject_cast<QLineEdit *>(w))
        edit->setText(text);
}

// The keys a clerk presses for a value: on a masked field only what goes into its input
// positions, the literals being the mask's own.
QString keystrokes(const QWidget *w, const QString &value)
{
    const auto *masked = qobject_cast<const TMaskEdit *>(w);
    if (!masked || !masked->IsMasked())
        return value;
    const ::EditMask &mask = masked->Mask();
    const QString empty = mask.emptyDisplay();
    const QString shown = mask.displayOf(value);
    QString keys;
    for (qsizetype i = 0; i < shown.size() && i < empty.size(); ++i)
        if (empty.at(i) == mask.blank() && shown.at(i) != mask.blank())
            keys += shown.at(i);
    return keys;
}

// Gives the field the focus and types the value; a value the keys could not make (a mask that
// reads them otherwise) is written as it stands, since the set holds it. Without typing (a
// check failed before and keeps the focus) the value is only written.
void typeInto(QWidget *field, const QString &value, bool typing)
{
    if (typing && field->isEnabled()) {
        MoveFocus(field); // selects the whole text, which the first key replaces
        if (value.isEmpty())
            UserInput::keyClick(field, Qt::Key_Delete);
        for (const QChar ch : keystrokes(field, value))
            UserInput::typeCharacter(field, ch);
    }
    if (ValueText(field) != value)
        writeText(field, value);
}

// Every question to the services in force, passed on; what a load changes is overridden.
class ForwardingServices : public Services
{
public:
    explicit ForwardingServices(Services &inner) : m_inner(inner) {}

    void showMessage(const QString &text) override { m_inner.showMessage(text); }
    bool pickRow(TDataSet *dataSet, const QString &title) override
    {
        return m_inner.pickRow(dataSet, title);
    }
    bool pickRows(TDataSet *dataSet, const QString &keyField, const QString &title,
                  const QString &emptyMessage, QString &selection) override
    {
        return m_inner.pickRows(dataSet, keyField, title, emptyMessage, selection);
    }
    bool askText(const QString &caption, const QString &prompt, QString &value) override
    {
        return m_inner.askText(caption, prompt, value);
    }
    QString chooseFile(const QString &title, const QString &filter, const QString &suggested,
                       bool forSaving) override
    {
        return m_inner.chooseFile(title, filter, suggested, forSaving);
    }
    void showHelp(const QString &helpFile, int context) override
    {
        m_inner.showHelp(helpFile, context);
    }
    bool confirm(const QString &caption, const QString &question) override
    {
        return m_inner.confirm(caption, question);
    }
    bool waitForServer(ServerWait &wait) override { return m_inner.waitForServer(wait); }
    bool headless() const override { return m_inner.headless(); }
    void reportParams(const QVariantMap &values) override { m_inner.reportParams(values); }
    void reportProgress(const QString &action, qint64 rows, int pages) override
    {
        m_inner.reportProgress(action, rows, pages);
    }
    void reportDone(const QString &action, const QString &file, int pages, qint64 rows) override
    {
        m_inner.reportDone(action, file, pages, rows);
    }

    // In force until it goes; the services before it come back then.
    class Scope
    {
    public:
        explicit Scope(ForwardingServices &services) : m_before(&services.m_inner)
        {
            Services::install(&services);
        }
        ~Scope() { Services::install(m_before); }
        Scope(const Scope &) = delete;
        Scope &operator=(const Scope &) = delete;

    private:
        Services *m_before;
    };

protected:
    Services &m_inner;
};

// Every message of a load names the set, so the clerk knows where the value came from.
class NamingServices : public ForwardingServices
{
public:
    NamingServices(Services &inner, const QString &setName)
        : ForwardingServices(inner), m_setName(setName)
    {}
    void showMessage(const QString &text) override
    {
        m_inner.showMessage(QStringLiteral("%1\n\n(variante \"%2\")").arg(text, m_setName));
    }

private:
    QString m_setName;
};

// Answers the list dialog of one list button with the set's keys, in the list's own order.
class ListAnswer : public ForwardingServices
{
public:
    ListAnswer(Services &inner, const QStringList &keys) : ForwardingServices(inner), m_keys(keys)
    {}

    QStringList dropped;

    bool pickRows(TDataSet *dataSet, const QString &keyField, const QString &, const QString &,
                  QString &selection) override
    {
        QStringList found;
        if (dataSet && !dataSet->IsEmpty()) {
            const TField *key = dataSet->FieldByName(keyField);
            QSet<QString> keys(m_keys.cbegin(), m_keys.cend());
            for (int r = 0; r < dataSet->RecordCount() && !keys.isEmpty(); ++r)
                if (const QString k = key->TextAt(r); keys.remove(k))
                    found << k;
        }
        for (const QString &k : m_keys)
            if (!found.contains(k) && !dropped.contains(k))
                dropped << k;
        selection = SelectionString::Format(found);
        return true;
    }

private:
    QStringList m_keys;
};

// Presses the list button with the saved keys as the answer; false when some were dropped.
bool loadList(QAbstractButton *button, const QStringList &keys)
{
    ListAnswer answer(Services::current(), keys);
    {
        const ForwardingServices::Scope scope(answer);
        button->click();
    }
    if (answer.dropped.isEmpty())
        return true;
    Services::current().showMessage(
        QStringLiteral("Não estão mais cadastrados e saíram da lista: %1.")
            .arg(answer.dropped.join(QStringLiteral(", "))));
    return false;
}

} // namespace

QJsonObject ParameterValues::toJson() const
{
    QJsonObject f, c, l;
    for (auto it = fields.cbegin(); it != fields.cend(); ++it)
        f.insert(it.key(), it.value());
    for (auto it = choices.cbegin(); it != choices.cend(); ++it)
        c.insert(it.key(), it.value());
    for (auto it = lists.cbegin(); it != lists.cend(); ++it)
        l.insert(it.key(), QJsonArray::fromStringList(it.value()));
    return {{QStringLiteral("fields"), f},
            {QStringLiteral("choices"), c},
            {QStringLiteral("lists"), l}};
}

ParameterValues ParameterValues::fromJson(const QJsonObject &json)
{
    ParameterValues v;
    const QJsonObject f = json.value(QLatin1String("fields")).toObject();
    for (auto it = f.begin(); it != f.end(); ++it)
        if (it.value().isString())
            v.fields.insert(it.key(), it.value().toString());
    const QJsonObject c = json.value(QLatin1String("choices")).toObject();
    for (auto it = c.begin(); it != c.end(); ++it)
        if (it.value().isBool())
            v.choices.insert(it.key(), it.value().toBool());
    const QJsonObject l = json.value(QLatin1String("lists")).toObject();
    for (auto it = l.begin(); it != l.end(); ++it) {
        QStringList keys;
        for (const QJsonValue key : it.value().toArray())
            if (key.isString())
                keys << key.toString();
        if (it.value().isArray())
            v.lists.insert(it.key(), keys);
    }
    return v;
}

QList<QWidget *> ControlsInTabOrder(QWidget *area)
{
    QList<QWidget *> children;
    for (QObject *child : area->children())
        if (auto *w = qobject_cast<QWidget *>(child); w && StateOf(w))
            children << w;
    std::stable_sort(children.begin(), children.end(), [](QWidget *a, QWidget *b) {
        return StateOf(a)->tabOrder() < StateOf(b)->tabOrder();
    });
    QList<QWidget *> order;
    for (QWidget *w : children) {
        if (!w->objectName().isEmpty())
            order << w;
        order << ControlsInTabOrder(w);
    }
    return order;
}

ParameterValues CaptureParameters(QWidget *area, const QMap<QString, QString> &selections)
{
    ParameterValues values;
    for (QWidget *w : ControlsInTabOrder(area)) {
        if (!w->isEnabled())
            continue;
        if (isField(w))
            values.fields.insert(w->objectName(), ValueText(w));
        else if (isChoice(w))
            values.choices.insert(w->objectName(), static_cast<QAbstractButton *>(w)->isChecked());
    }
    for (auto it = selections.cbegin(); it != selections.cend(); ++it)
        if (area->findChild<QAbstractButton *>(it.key()))
            values.lists.insert(it.key(), SelectionString::Parse(it.value()));
    return values;
}

bool LoadParameters(QWidget *area, const ParameterValues &values, const QString &setName)
{
    NamingServices naming(Services::current(), setName);
    const ForwardingServices::Scope scope(naming);
    bool checking = true;
    QList<QAbstractButton *> listButtons;
    QWidget *first = nullptr;
    for (QWidget *w : ControlsInTabOrder(area)) {
        const QString name = w->objectName();
        if (isField(w) && values.fields.contains(name)) {
            first = first ? first : w;
            typeInto(w, values.fields.value(name), checking);
            const Events *events = Events::find(w);
            if (!checking || !events || !events->isBound(onExit))
                continue;
            try {
                events->call(onExit, w);
            } catch (const EAbort &) {
                checking = false; // its message is shown
            } catch (const Exception &e) {
                checking = false;
                Services::current().showMessage(e.Message());
            }
        } else if (isChoice(w) && values.choices.contains(name)) {
            auto *button = static_cast<QAbstractButton *>(w);
            if (button->isEnabled() && button->isChecked() != values.choices.value(name))
                button->click();
        } else if (auto *button = qobject_cast<QAbstractButton *>(w);
                   button && values.lists.contains(name)) {
            listButtons << button;
        }
    }
    // The lists come last: their buttons take no focus, and a list's choice comes before it.
    bool whole = true;
    for (QAbstractButton *button : std::as_const(listButtons))
        if (button->isEnabled())
            whole = loadList(button, values.lists.value(button->objectName())) && whole;
    if (checking && first)
        MoveFocus(first);
    return checking && whole;
}

} // namespace Velmora
