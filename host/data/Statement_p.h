#pragma once

#include "DatabaseKind.h"
#include "TDataSet.h"

#include <QStringList>
#include <QVector>

#include <memory>

namespace Velmora {
class DBConnection;
}

namespace Velmora::Internal {

// A prepared read statement of the query component. It runs many times with new values and
// gives each run's rows, all at once or packet by packet: dates as TDateTime, nulls as null.
class Statement
{
public:
    virtual ~Statement() = default;

    // The parameter names whose values Execute takes, in that order.
    const QStringList &Placeholders() const { return m_placeholders; }
    // Whether the engine says the statement changes data.
    virtual bool Writes() const = 0;
    // Binds the values and runs the statement, leaving its cursor before the first row. On
    // failure: false and the engine's message.
    virtual bool Start(const QVector<QVariant> &values, QVector<TDataSet::Column> &columns,
                       QString &error) = 0;
    // Appends up to maxRows more rows (all of them when maxRows <= 0); done once the cursor
    // has given its last row, which closes it. On failure: false, the engine's message, and
    // the cursor closed.
    virtual bool Fetch(int maxRows, QVector<QVector<QVariant>> &rows, bool &done,
                       QString &error) = 0;
    // Lets the engine release a cursor left before its end.
    virtual void Finish() = 0;

    // A whole run: maxRows > 0 stops after that many rows.
    bool Execute(const QVector<QVariant> &values, int maxRows, QVector<TDataSet::Column> &columns,
                 QVector<QVector<QVariant>> &rows, QString &error)
    {
        rows.clear();
        if (!Start(values, columns, error))
            return false;
        bool done = false;
        if (!Fetch(maxRows, rows, done, error))
            return false;
        if (!done)
            Finish();
        return true;
    }

protected:
    QStringList m_placeholders;
};

// Prepares a text with named placeholders (":NAME") on the connection, which is open.
// exactDecimals: decimal columns as exact texts instead of doubles. nullptr and the engine's
// message when the text does not prepare.
std::unique_ptr<Statement> Prepare(DBConnection &connection, const QString &text,
                                   bool exactDecimals, QString &error);

std::unique_ptr<Statement> PrepareWithQt(DBConnection &connection, const QString &text,
                                         bool exactDecimals, QString &error);
std::unique_ptr<Statement> PrepareOnFirebird(DBConnection &connection, const QString &text,
                                             bool exactDecimals, QString &error);

} // namespace Velmora::Internal
