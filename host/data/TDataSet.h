#pragma once

#include "TField.h"
#include "data_global.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QVariant>
#include <QVector>

#include <memory>

class QTimer;

// A dataset holds its result on the client: a list of columns and rows, a current row, and
// the declared fields that read it. Subclasses fill it in DoOpen (a query, a data packet);
// the dialogs read any row at random through Value().
// A large result may come in packets: Open returns with the first one and the rest arrives
// from a RowSource, taken as the event loop runs (RowsArrived) or as soon as a reader asks
// for a row not yet there. Handlers see a whole result all the same: RecordCount, Next past
// the rows at hand, Locate and Value wait for the rows they need. The dialogs read what
// has arrived (FetchedCount) and follow the rest.
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

    // Where the rest of a result comes from after the first packet.
    class RowSource
    {
    public:
        virtual ~RowSource() = default;
        // Moves the next packet that arrived into rows; when wait, blocks until one arrives or
        // the result ends. False once nothing more will come. Raises EDatabaseError when the
        // read failed.
        virtual bool Take(QVector<QVector<QVariant>> &rows, bool wait) = 0;
        // Stops the read; the source is dropped right after.
        virtual void Cancel() = 0;
    };

    explicit TDataSet(QObject *parent = nullptr);
    ~TDataSet() override;

    void Open();
    void Close();
    bool Active() const { return m_active; }
    void SetActive(bool active);

    // The first packet tells: no need to wait for the rest.
    bool IsEmpty() const { return FetchedCount() == 0; }
    // The whole result's count: waits for the rows still to come.
    int RecordCount() const;
    // The rows at hand, without waiting.
    int FetchedCount() const { return m_active ? static_cast<int>(m_rows.size()) : 0; }
    // Whether every row has arrived (or the read failed: FetchError).
    bool FetchComplete() const { return !m_source; }
    // Why the rest of the result could not be read; empty when it was.
    QString FetchError() const { return m_fetchError; }
    // Takes what arrived without waiting; true when rows were added.
    bool FetchArrived();
    // Waits until row (0-based) has arrived or the result ended; whether it is there.
    bool FetchUpTo(int row) const;
    void FetchAll() const { FetchUpTo(INT_MAX - 1); }
    // Which of keys, texts as the field shows them, the whole result holds. A subclass that
    // can ask where the rows come from answers without waiting for the rows still to come.
    virtual QSet<QString> KeysInResult(const QString &fieldName, const QStringList &keys) const;
    // Up to count rows of the whole result whose field starts with prefix (as stored, case
    // apart), in the field's order, asked where the rows come from; null when the subclass
    // cannot ask (the rows must then be waited for).
    virtual std::unique_ptr<TDataSet> RowsStartingWith(const QString &fieldName,
                                                       const QString &prefix, int count) const;
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
    // Rows first to first + count - 1 arrived after Open.
    void RowsArrived(int first, int count);
    // The last row arrived, or the read failed (FetchError).
    void FetchFinished();

protected:
    // Fills the columns and rows. Raises on failure, leaving the dataset closed.
    virtual void DoOpen() {}
    virtual void DoClose() {}
    // Replaces the whole data and binds the declared fields to it (raises EDatabaseError
    // naming a declared field that the data lacks).
    void SetData(QVector<Column> columns, QVector<QVector<QVariant>> rows);
    // The first packet, and where the rest comes from.
    void SetData(QVector<Column> columns, QVector<QVector<QVariant>> rows,
                 std::unique_ptr<RowSource> rest);

private:
    bool takePacket(bool wait);
    void endFetch(const QString &error);
    void dropSource();
    void bindFields();
    void bindDynamicFields();
    void dropDynamicFields();

    QList<TField *> m_fields;
    QList<TField *> m_dynamicFields;
    QVector<Column> m_columns;
    QVector<QVector<QVariant>> m_rows;
    std::unique_ptr<RowSource> m_source;
    QTimer *m_arrivals = nullptr;
    QString m_fetchError;
    int m_current = 0;
    bool m_active = false;
    bool m_eof = true;
    bool m_bof = true;
};
