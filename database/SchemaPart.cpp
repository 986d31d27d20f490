#include "SchemaPart.h"

#include "rtl/Exceptions.h"
#include "rtl/JsonErrorText.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

// The parts gathered at build time (velmora_schema_part) are resources of this static library:
// a resource of a static library is only linked in when asked for by name.
static void initSchemaParts()
{
    Q_INIT_RESOURCE(schema_parts);
}

namespace Velmora::Db {

namespace {

class PartReader
{
public:
    explicit PartReader(const QString &where) : m_where(where) {}

    [[noreturn]] void fail(const QString &what) const
    {
        throw Exception(
            QStringLiteral("A parte do esquema %1 não pôde ser lida: %2.").arg(m_where, what));
    }

    QString name(const QJsonValue &v, const QString &of) const
    {
        if (!v.isString() || v.toString().isEmpty())
            fail(QStringLiteral("%1 sem nome").arg(of));
        return v.toString();
    }

    QStringList names(const QJsonValue &v, const QString &of) const
    {
        if (!v.isArray() || v.toArray().isEmpty())
            fail(QStringLiteral("%1 sem colunas").arg(of));
        QStringList out;
        for (const QJsonValue item : v.toArray())
            out << name(item, of);
        return out;
    }

    ColumnDef column(const QJsonObject &o, const QString &table) const
    {
        ColumnDef c;
        c.name = name(o.value(QLatin1String("name")), QStringLiteral("coluna de %1").arg(table));
        const QString type = o.value(QLatin1String("type")).toString();
        if (type == QLatin1String("text"))
            c.type = ColumnType::Text;
        else if (type == QLatin1String("date"))
            c.type = ColumnType::Date;
        else if (type == QLatin1String("money"))
            c.type = ColumnType::Money;
        else if (type == QLatin1String("rate"))
            c.type = ColumnType::Rate;
        else if (type == QLatin1String("longtext"))
            c.type = ColumnType::LongText;
        else if (type == QLatin1String("timestamp"))
            c.type = ColumnType::Timestamp;
        else
            fail(QStringLiteral("a coluna %1.%2 tem o tipo desconhecido \"%3\"")
                     .arg(table, c.name, type));
        c.size = o.value(QLatin1String("size")).toInt();
        if (c.type == ColumnType::Text && c.size <= 0)
            fail(QStringLiteral("a coluna de texto %1.%2 não diz seu tamanho").arg(table, c.name));
        c.notNull = o.value(QLatin1String("notNull")).toBool();
        return c;
    }

    TableDef table(const QJsonObject &o) const
    {
        TableDef t;
        t.name = name(o.value(QLatin1String("name")), QStringLiteral("tabela"));
        const QJsonArray columns = o.value(QLatin1String("columns")).toArray();
        if (columns.isEmpty())
            fail(QStringLiteral("a tabela %1 não tem colunas").arg(t.name));
        for (const QJsonValue c : columns)
            t.columns << column(c.toObject(), t.name);
        t.key = names(o.value(QLatin1String("key")), QStringLiteral("chave de %1").arg(t.name));
        for (const QString &k : std::as_const(t.key))
            if (!t.column(k))
                fail(QStringLiteral("a chave de %1 cita a coluna %2, que ela não tem")
                         .arg(t.name, k));
        for (const QJsonValue r : o.value(QLatin1String("references")).toArray()) {
            const QJsonObject ro = r.toObject();
            ReferenceDef ref;
            ref.name = name(ro.value(QLatin1String("name")),
                            QStringLiteral("referência de %1").arg(t.name));
            ref.columns = names(ro.value(QLatin1String("columns")), ref.name);
            ref.table = name(ro.value(QLatin1String("table")), ref.name);
            ref.referenced = names(ro.value(QLatin1String("referenced")), ref.name);
            t.references << ref;
        }
        for (const QJsonValue i : o.value(QLatin1String("indexes")).toArray()) {
            const QJsonObject io = i.toObject();
            IndexDef index;
            index.name =
                name(io.value(QLatin1String("name")), QStringLiteral("índice de %1").arg(t.name));
            index.columns = names(io.value(QLatin1String("columns")), index.name);
            index.coversForeignKey = io.value(QLatin1String("coversForeignKey")).toBool();
            t.indexes << index;
        }
        return t;
    }

private:
    QString m_where;
};

} // namespace

QVector<TableDef> ReadSchemaPart(const QByteArray &json, const QString &where)
{
    const PartReader reader(where);
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        reader.fail(JsonErrorText(error.error));
    const QJsonObject root = document.object();
    if (root.value(QLatin1String("version")).toInt() != 1)
        reader.fail(QStringLiteral("a versão %1 não é conhecida")
                        .arg(root.value(QLatin1String("version")).toVariant().toString()));
    const QJsonArray tables = root.value(QLatin1String("tables")).toArray();
    if (tables.isEmpty())
        reader.fail(QStringLiteral("não há tabelas"));
    QVector<TableDef> out;
    for (const QJsonValue t : tables)
        out << reader.table(t.toObject());
    return out;
}

QVector<TableDef> BuiltInSchemaParts()
{
    initSchemaParts();
    QVector<TableDef> out;
    const QDir parts(QStringLiteral(":/velmora/schema-parts"));
    for (const QString &file : parts.entryList(QDir::Files, QDir::Name)) {
        QFile f(parts.filePath(file));
        if (!f.open(QIODevice::ReadOnly))
            throw Exception(QStringLiteral("A parte do esquema %1 não pôde ser aberta.").arg(file));
        out << ReadSchemaPart(f.readAll(), file);
    }
    return out;
}

} // namespace Velmora::Db
