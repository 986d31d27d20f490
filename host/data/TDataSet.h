#pragma once

#include "TField.h"
#include "data_global.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>
#include <QVector>

// A dataset holds its whole result on the client: a list of columns and rows, a current
// row, and the declared fields that read it. Subclasses fill it in DoOpen (a query, a data
// packet); the dialogs read any row at random through Value().
class VELMORA_DATA_EXPORT TDataSet : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool Active READ Active WRITE SetActive)

public:
    struct Column
    {
        QString name;
        TField::Kind kind = TField::Kind::String;
        bool numeric = false; // a number column (it reads through a string field)
        int size = 0;         // declared width of a text column, 0 when unknown
    };

    explicit TDataSet(QObject *parent = nullptr);
    ~TDataSet() override;

    void Open();
    void Close();
    bool Active() const { return m_active; }
    void SetActive(bool active);

    bool IsEmpty() const { return RecordCount() == 0; }
    int RecordCount() const { return m_active ? static_cast<int>(m_rows.size()) : 0; }
    // The current row, 0-based; -1 without one.
    int RecNo() const { return m_active && !m_rows.isEmpty() ? m_current : -1; }
    void MoveTo(int row);
    void First();
    void Next();
    void Prior();
    void Last();
    bool Eof() const { return !m_active || m_rows.isEmpty() || m_eof; }
    bool Bof() const { return !m_active || m_rows.isEmpty() || m_bof; }
    // Moves to the first row whose field reads value (as text); false and unmoved otherwise.
    bool Locate(const QString &fieldName, const QVariant &value);

    // Declared fields in their order; after Open, a dataset without declared fields has one
    // field per column of its data.
    const QList<TField *> &Fields() const { return m_fields; }
    QList<TField *> VisibleFields() const;
    TField *FindField(const QString &fieldName) const;
    // Raises EDatabaseError naming the field when there is none.
    TField *FieldByName(const QString &fieldName) const;

    const QVector<Column> &Columns() const { return m_columns; }
    QVariant Value(int row, int column) const;

    // Whether fields were declared for it (else its fields come from its data's columns).
    bool HasDeclaredFields() const;
    bool IsDeclared(const TField *field) const;

    // Fields register themselves here when their DataSet is set.
    void AddField(TField *field);
    void RemoveField(TField *field);

signals:
    // The data changed as a whole (opened, closed, replaced).
    void DataChanged();
    void CurrentChanged(int row);

protected:
    // Fills the columns and rows. Raises on failure, leaving the dataset closed.
    virtual void DoOpen() {}
    virtual void DoClose() {}
    // Replaces the whole data and binds the declared fields to it (raises EDatabaseError
    // naming a declared field that the data lacks).
    void SetData(QVector<Column> columns, QVector<QVector<QVariant>> rows);

private:
    void bindFields();
    void bindDynamicFields();
    void dropDynamicFields();

    QList<TField *> m_fields;
    QList<TField *> m_dynamicFields;
    QVector<Column> m_columns;
    QVector<QVector<QVariant>> m_rows;
    int m_current = 0;
    bool m_active = false;
    bool m_eof = true;
    bool m_bof = true;
};
