#include "Fixture.h"

#include "Schema.h"
#include "data/DBConnection.h"
#include "data/EngineTimestamp.h"
#include "rtl/Exceptions.h"

#include <QDate>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

#include <cmath>
#include <memory>

namespace Velmora::Db {

namespace {

struct Row
{
    const TableDef *table;
    int number; // 1-based within its table
    QStringList columns;
    QVariantList values;
};

class Refusal
{
public:
    explicit Refusal(const QString &source) : m_source(source) {}

    [[noreturn]] void operator()(const QString &what) const
    {
        const QString where = m_source.isEmpty()
                                  ? QStringLiteral("Carga recusada")
                                  : QStringLiteral("Carga de '%1' recusada").arg(m_source);
        throw EDatabaseError(QStringLiteral("%1, nada foi gravado: %2.").arg(where, what));
    }

    [[noreturn]] void row(const QString &table, int number, const QString &what) const
    {
        (*this)(QStringLiteral("tabela %1, linha %2: %3").arg(table).arg(number).arg(what));
    }

private:
    QString m_source;
};

// A value as the fixture wrote it, for messages.
QString jsonText(const QJsonValue &v)
{
    return QString::fromUtf8(QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact))
        .mid(1)
        .chopped(1);
}

QVariant valueOf(const ColumnDef &c, const QJsonValue &v, const QString &table, int number,
                 const Refusal &refuse)
{
    if (v.isNull()) {
        if (c.notNull)
            refuse.row(table, number, QStringLiteral("a coluna %1 não pode ser nula").arg(c.name));
        return {};
    }
    switch (c.type) {
    case ColumnType::Text: {
        if (!v.isString())
            refuse.row(table, number, QStringLiteral("a coluna %1 pede um texto").arg(c.name));
        const QString text = v.toString();
        if (text.size() > c.size)
            refuse.row(table, number,
                       QStringLiteral("o texto de %1 tem %2 caracteres, mais que os %3 da coluna")
                           .arg(c.name)
                           .arg(text.size())
                           .arg(c.size));
        return text;
    }
    case ColumnType::LongText:
        if (!v.isString())
            refuse.row(table, number, QStringLiteral("a coluna %1 pede um texto").arg(c.name));
        return v.toString();
    case ColumnType::Timestamp: {
        const QString text = v.toString();
        const QDateTime moment = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        if (!v.isString() || !moment.isValid())
            refuse.row(table, number,
                       QStringLiteral("%1 não é um instante AAAA-MM-DD HH:MM:SS: %2")
                           .arg(c.name, jsonText(v)));
        return moment;
    }
    case ColumnType::Date: {
        static const QRegularExpression shape(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
        const QString text = v.toString();
        const QDate date = QDate::fromString(text, Qt::ISODate);
        if (!v.isString() || !shape.match(text).hasMatch() || !date.isValid())
            refuse.row(table, number,
                       QStringLiteral("%1 não é uma data AAAA-MM-DD: %2").arg(c.name, jsonText(v)));
        return date;
    }
    case ColumnType::Money:
    case ColumnType::Rate: {
        const double limit = c.type == ColumnType::Money ? 1e13 : 1e3;
        if (!v.isDouble() || !std::isfinite(v.toDouble()) || std::fabs(v.toDouble()) >= limit)
            refuse.row(table, number,
                       QStringLiteral("a coluna %1 pede um número menor que %2")
                           .arg(c.name, QString::number(limit, 'g', 15)));
        return v.toDouble();
    }
    case ColumnType::Integer: {
        const double n = v.toDouble();
        if (!v.isDouble() || n != std::trunc(n) || std::fabs(n) >= 9e15)
            refuse.row(table, number,
                       QStringLiteral("a coluna %1 pede um número inteiro").arg(c.name));
        return static_cast<qint64>(n);
    }
    }
    return {};
}

// Checks every row before the database is touched, and gathers them in loading order.
QVector<Row> readRows(const QJsonObject &fixture, const Refusal &refuse)
{
    for (auto it = fixture.begin(); it != fixture.end(); ++it) {
        if (!FindTable(it.key()))
            refuse(QStringLiteral("tabela '%1' desconhecida").arg(it.key()));
        if (!it.value().isArray())
            refuse(QStringLiteral("a tabela %1 deve ser uma lista de linhas").arg(it.key()));
    }
    QVector<Row> rows;
    for (const TableDef &table : Tables()) {
        QJsonArray list;
        for (auto it = fixture.begin(); it != fixture.end(); ++it)
            if (it.key().compare(table.name, Qt::CaseInsensitive) == 0)
                list = it.value().toArray();
        QHash<QString, int> keys;
        for (qsizetype i = 0; i < list.size(); ++i) {
            const int number = static_cast<int>(i) + 1;
            if (!list.at(i).isObject())
                refuse.row(table.name, number, QStringLiteral("a linha não é um objeto"));
            const QJsonObject object = list.at(i).toObject();
            Row row{&table, number, {}, {}};
            for (auto it = object.begin(); it != object.end(); ++it) {
                const ColumnDef *c = table.column(it.key());
                if (!c)
                    refuse.row(table.name, number,
                               QStringLiteral("coluna '%1' desconhecida").arg(it.key()));
                row.columns << c->name;
                row.values << valueOf(*c, it.value(), table.name, number, refuse);
            }
            QStringList key;
            for (const ColumnDef &c : table.columns) {
                if (c.notNull && !row.columns.contains(c.name))
                    refuse.row(
                        table.name, number,
                        QStringLiteral("falta a coluna %1, que não pode ser nula").arg(c.name));
            }
            for (const QString &k : table.key)
                key << row.values.at(row.columns.indexOf(k)).toString();
            const QString joined = key.join(QChar(0x1f));
            if (keys.contains(joined))
                refuse.row(table.name, number,
                           QStringLiteral("chave (%1) repetida, já dada na linha %2")
                               .arg(key.join(QStringLiteral(", ")))
                               .arg(keys.value(joined)));
            keys.insert(joined, number);
            rows << row;
        }
    }
    return rows;
}

} // namespace

FixtureResult LoadFixture(DBConnection &db, const QJsonObject &fixture, const QString &source)
{
    const Refusal refuse(source);
    const QVector<Row> rows = readRows(fixture, refuse);

    FixtureResult result;
    db.StartTransaction();
    try {
        // One prepared statement per table and set of columns; gone before the commit.
        QHash<QString, std::shared_ptr<QSqlQuery>> statements;
        for (const Row &row : rows) {
            const QString signature = row.table->name + QLatin1Char(':') + row.columns.join(',');
            std::shared_ptr<QSqlQuery> &q = statements[signature];
            if (!q) {
                q = std::make_shared<QSqlQuery>(db.Database());
                QStringList marks;
                for (int i = 0; i < row.columns.size(); ++i)
                    marks << QStringLiteral("?");
                if (!q->prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                    .arg(row.table->name, row.columns.join(QStringLiteral(", ")),
                                         marks.join(QStringLiteral(", ")))))
                    refuse.row(row.table->name, row.number, q->lastError().text());
            }
            for (int i = 0; i < row.values.size(); ++i)
                q->bindValue(i, row.table->column(row.columns.at(i))->type == ColumnType::Timestamp
                                    ? TimestampToEngine(row.values.at(i).toDateTime(), db.engine())
                                    : ToEngineValue(row.values.at(i), db.engine()));
            if (!q->exec())
                refuse.row(row.table->name, row.number,
                           QStringLiteral("o banco de dados recusou a linha: %1")
                               .arg(q->lastError().databaseText().trimmed().isEmpty()
                                        ? q->lastError().text()
                                        : q->lastError().databaseText().trimmed()));
            ++result.rowsPerTable[row.table->name];
            ++result.rows;
        }
        statements.clear();
        db.Commit();
    } catch (...) {
        try {
            db.Rollback();
        } catch (const EDatabaseError &) {
            // The refusal says more than a failed rollback of a transaction that wrote nothing.
        }
        throw;
    }
    return result;
}

FixtureResult LoadFixtureFile(DBConnection &db, const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EDatabaseError(QStringLiteral("Arquivo de carga '%1' não encontrado ou sem "
                                            "permissão de leitura.")
                                 .arg(path));
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError)
        throw EDatabaseError(QStringLiteral("Arquivo de carga '%1' inválido na posição %2: %3.")
                                 .arg(path)
                                 .arg(error.offset)
                                 .arg(error.errorString()));
    if (!doc.isObject())
        throw EDatabaseError(
            QStringLiteral("Arquivo de carga '%1' inválido: esperava um objeto com as tabelas.")
                .arg(path));
    return LoadFixture(db, doc.object(), path);
}

} // namespace Velmora::Db
