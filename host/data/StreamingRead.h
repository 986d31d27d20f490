#pragma once

#include "data_global.h"

#include "rtl/Exceptions.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>

namespace Velmora {

// Whether a text only reads: a SELECT (or WITH) that names no statement changing data or
// definitions outside its quotes and comments (PostgreSQL would run a DELETE inside WITH).
VELMORA_DATA_EXPORT bool IsReadOnlyText(const QString &text);

// A read refused because it would change data: by the text check, or by the engine itself
// (a statement that writes, a function that writes inside a read-only transaction).
class VELMORA_DATA_EXPORT EWriteRefused : public EDatabaseError
{
public:
    using EDatabaseError::EDatabaseError;
    ~EWriteRefused() override;
};

// A read whose rows are taken one at a time as the caller goes (forward-only, numbers as
// doubles, dates as QDate or QDateTime), for answers too large to hold: the reports.
class VELMORA_DATA_EXPORT StreamingRead
{
public:
    // What an engine gives: its rows, and the end of its read-only transaction when it goes.
    class Cursor
    {
    public:
        virtual ~Cursor() = default;
        virtual QStringList fieldNames() const = 0;
        // false at the end; raises EDatabaseError (EWriteRefused) when the engine fails.
        virtual bool next() = 0;
        virtual QVariant value(int column) const = 0;
    };

    StreamingRead() = default;
    explicit StreamingRead(std::unique_ptr<Cursor> cursor) : m_cursor(std::move(cursor)) {}
    StreamingRead(StreamingRead &&) noexcept = default;
    StreamingRead &operator=(StreamingRead &&) noexcept = default;
    ~StreamingRead() = default;

    bool isOpen() const { return m_cursor != nullptr; }
    QStringList fieldNames() const { return m_cursor ? m_cursor->fieldNames() : QStringList(); }
    bool next() { return m_cursor && m_cursor->next(); }
    QVariant value(int column) const { return m_cursor->value(column); }

private:
    std::unique_ptr<Cursor> m_cursor;
};

// Opens a streaming read. Only a text that reads runs, and the engine holds it to that: on
// SQLite the prepared statement must be read-only, on PostgreSQL it runs in a read-only
// transaction (a savepoint made read-only when the connection is inside a transaction), on
// Firebird in a read-only transaction of its own through the client library. Each ":NAME" is
// bound by name to valueOf(NAME). Raises EWriteRefused when the text or the engine refuses a
// write, EDatabaseError with the engine's own text on any other failure; the connection is
// left as it was either way.
VELMORA_DATA_EXPORT StreamingRead
OpenStreamingRead(const QSqlDatabase &db, const QString &text,
                  const std::function<QVariant(const QString &name)> &valueOf);

} // namespace Velmora
