#pragma once

#include "data_global.h"
#include "rtl/TDateTime.h"

#include <QList>
#include <QMetaType>
#include <QString>
#include <QVariant>

// One parameter of a query: null until given a value; a text, a date or a number.
// A cleared parameter (null) and the empty text are different values.
class VELMORA_DATA_EXPORT TParam
{
public:
    explicit TParam(const QString &name) : m_name(name) {}

    const QString &Name() const { return m_name; }
    bool IsNull() const { return m_value.isNull(); }
    // The value: a QString, a TDateTime, a number, or null.
    const QVariant &Value() const { return m_value; }
    // A TDateTime value is a date; anything else keeps its type. A null QVariant clears.
    void SetAsVariant(const QVariant &value) { m_value = value; }
    void SetAsString(const QString &text)
    {
        m_value = QVariant(text.isNull() ? QString::fromLatin1("") : text);
    }
    void SetAsDate(TDateTime date) { m_value = QVariant::fromValue(date); }
    void Clear() { m_value = QVariant(); }
    bool IsDate() const { return m_value.metaType() == QMetaType::fromType<TDateTime>(); }
    QString AsString() const;
    TDateTime AsDate() const;

private:
    QString m_name;
    QVariant m_value;
};

// The parameters of a query, in the order the text names them first.
class VELMORA_DATA_EXPORT TParams
{
public:
    TParams() = default;
    TParams(const TParams &other);
    TParams &operator=(const TParams &other);
    ~TParams();

    int Count() const { return static_cast<int>(m_items.size()); }
    TParam *Items(int index) const { return m_items.at(index); }
    // Exact name first, then without regard to letter case; nullptr when absent.
    TParam *FindParam(const QString &name) const;
    // Raises EDatabaseError naming the parameter when absent.
    TParam *ParamByName(const QString &name) const;
    TParam *Add(const QString &name);
    QStringList Names() const;
    void Clear();

private:
    QList<TParam *> m_items;
};

// The parameter names a statement text names (":NAME"), each once, in order of first use;
// texts inside quotes and "::" casts are passed over.
VELMORA_DATA_EXPORT QStringList ParameterNames(const QString &sql);
