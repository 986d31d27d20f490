#pragma once

#include "data_global.h"
#include "rtl/TDateTime.h"

#include <QObject>
#include <QPointer>
#include <QVariant>

class TDataSet;

// A declared field of a dataset, a component of its own named as the screen names it
// (qryEmpresaCDEMPRESA). It binds by FieldName to a column of the dataset's data when the
// dataset opens, without regard to letter case. Reading a field of a dataset with no current
// row gives the empty text.
class VELMORA_DATA_EXPORT TField : public QObject
{
    Q_OBJECT
    Q_PROPERTY(TDataSet *DataSet READ DataSet WRITE SetDataSet)
    Q_PROPERTY(QString FieldName READ FieldName WRITE SetFieldName)
    Q_PROPERTY(QString DisplayLabel READ DisplayLabel WRITE SetDisplayLabel)
    Q_PROPERTY(int Size READ Size WRITE SetSize)
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)
    Q_PROPERTY(bool Required READ Required WRITE SetRequired)
    Q_PROPERTY(QString EditMask READ EditMask WRITE SetEditMask)

public:
    enum class Kind { String, DateTime };

    explicit TField(Kind kind, QObject *parent = nullptr);
    ~TField() override;

    Kind DataKind() const { return m_kind; }
    TDataSet *DataSet() const { return m_dataSet; }
    void SetDataSet(TDataSet *dataSet);
    QString FieldName() const { return m_fieldName; }
    void SetFieldName(const QString &name) { m_fieldName = name; }
    // The label a dialog shows: DisplayLabel, or the field name when it has none.
    QString DisplayName() const { return m_displayLabel.isEmpty() ? m_fieldName : m_displayLabel; }
    QString DisplayLabel() const { return m_displayLabel; }
    void SetDisplayLabel(const QString &label) { m_displayLabel = label; }
    int Size() const { return m_size; }
    void SetSize(int size) { m_size = size; }
    bool Visible() const { return m_visible; }
    void SetVisible(bool visible) { m_visible = visible; }
    bool Required() const { return m_required; }
    void SetRequired(bool required) { m_required = required; }
    QString EditMask() const { return m_editMask; }
    void SetEditMask(const QString &mask) { m_editMask = mask; }

    // The value in the current row (null without one).
    QVariant Value() const;
    bool IsNull() const;
    QString AsString() const;
    TDateTime AsDateTime() const;
    // The value of any row, as the dialogs read it.
    QVariant ValueAt(int row) const;
    QString TextAt(int row) const;

    // The column of the open dataset's data this field reads; -1 while unbound.
    int Column() const { return m_column; }
    void SetColumn(int column) { m_column = column; }

private:
    QPointer<TDataSet> m_dataSet;
    QString m_fieldName;
    QString m_displayLabel;
    QString m_editMask;
    Kind m_kind;
    int m_size = 20;
    int m_column = -1;
    bool m_visible = true;
    bool m_required = false;
};

class VELMORA_DATA_EXPORT TStringField : public TField
{
    Q_OBJECT
public:
    explicit TStringField(QObject *parent = nullptr) : TField(Kind::String, parent) {}
};

// The string field of the multi-dialect query's result.
class VELMORA_DATA_EXPORT TADOIBStringField : public TStringField
{
    Q_OBJECT
public:
    explicit TADOIBStringField(QObject *parent = nullptr) : TStringField(parent) {}
};

class VELMORA_DATA_EXPORT TDateTimeField : public TField
{
    Q_OBJECT
public:
    explicit TDateTimeField(QObject *parent = nullptr) : TField(Kind::DateTime, parent) {}
};

// Text of a value as a field shows it: dates in the short date format, the rest as text.
VELMORA_DATA_EXPORT QString ValueText(const QVariant &value, TField::Kind kind);
