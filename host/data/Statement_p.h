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
// gives each time the whole answer: dates as TDateTime, nulls as null.
class Statement
{
public:
    virtual ~Statement() = default;

    // The parameter names whose values Execute takes, in that order.
    const QStringList &Placeholders() const { return m_placeholders; }
    // Whether the engine says the statement changes data.
    virtual bool Writes() const = 0;
    // maxRows > 0 stops after that many rows. On failure: false and the engine's message.
    virtual bool Execute(const QVector<QVariant> &values, int maxRows,
                         QVector<TDataSet::Column> &columns, QVector<QVector<QVariant>> &rows,
                         QString &error) = 0;

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
