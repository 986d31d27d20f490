#include "DataPacket.h"

#include "rtl/Exceptions.h"
#include "rtl/TDateTime.h"

#include <QJsonArray>
#include <cmath>

namespace Velmora::DataPacket {

namespace {

enum class CellType { String, DateTime, Integer, Float };

[[noreturn]] void refuse(const QString &dataSet, const QString &why)
{
    throw EDatabaseError(
        QStringLiteral("Pacote de dados inválido para '%1': %2.").arg(dataSet, why));
}

QString typeName(const TDataSet::Column &column, const QVector<QVector<QVariant>> &rows, int c)
{
    if (column.kind == TField::Kind::DateTime)
        return QStringLiteral("datetime");
    if (!column.numeric)
        return QStringLiteral("string");
    for (const QVector<QVariant> &row : rows) {
        const QVariant v = row.value(c);
        if (v.isNull())
            continue;
        const int id = v.metaType().id();
        return id == QMetaType::Double || id == QMetaType::Float || id == QMetaType::QString
                   ? QStringLiteral("float")
                   : QStringLiteral("integer");
    }
    return QStringLiteral("integer");
}

QJsonValue cell(const QVariant &v, const QString &type)
{
    if (v.isNull())
        return QJsonValue::Null;
    if (type == QLatin1String("datetime")) {
        if (v.metaType() == QMetaType::fromType<TDateTime>())
            return v.value<TDateTime>().value();
        return v.toDouble();
    }
    if (type == QLatin1String("integer"))
        return v.toLongLong();
    if (type == QLatin1String("float"))
        return v.toDouble();
    return v.toString();
}

} // namespace

Content Parse(const QJsonObject &packet, const QString &dataSet)
{
    const QJsonValue status = packet.value(QLatin1String("status"));
    if (!status.isUndefined() && status.toInt(-1) != 0)
        refuse(dataSet, QStringLiteral("o servidor respondeu com falha (%1): %2")
                            .arg(status.toVariant().toString(),
                                 packet.value(QLatin1String("message")).toString()));
    const QJsonValue fields = packet.value(QLatin1String("fields"));
    const QJsonValue rows = packet.value(QLatin1String("rows"));
    if (!fields.isArray())
        refuse(dataSet, QStringLiteral("falta a lista \"fields\""));
    if (!rows.isArray() && !rows.isUndefined())
        refuse(dataSet, QStringLiteral("\"rows\" não é uma lista"));

    Content content;
    QVector<CellType> types;
    for (const QJsonValue f : fields.toArray()) {
        const QJsonObject field = f.toObject();
        const QString name = field.value(QLatin1String("name")).toString();
        if (name.isEmpty())
            refuse(dataSet, QStringLiteral("campo %1 sem nome").arg(content.columns.size() + 1));
        for (const TDataSet::Column &known : std::as_const(content.columns))
            if (known.name.compare(name, Qt::CaseInsensitive) == 0)
                refuse(dataSet, QStringLiteral("campo '%1' repetido").arg(name));
        const QString type = field.value(QLatin1String("type")).toString().toLower();
        TDataSet::Column column;
        column.name = name;
        column.size = field.value(QLatin1String("size")).toInt(0);
        if (type == QLatin1String("string")) {
            types << CellType::String;
        } else if (type == QLatin1String("datetime")) {
            column.kind = TField::Kind::DateTime;
            types << CellType::DateTime;
        } else if (type == QLatin1String("integer") || type == QLatin1String("float")) {
            column.numeric = true;
            types << (type == QLatin1String("integer") ? CellType::Integer : CellType::Float);
        } else {
            refuse(dataSet, QStringLiteral("campo '%1' de tipo '%2' desconhecido (use string, "
                                           "datetime, integer ou float)")
                                .arg(name, type));
        }
        content.columns << column;
    }

    const QJsonArray rowArray = rows.toArray();
    content.rows.reserve(rowArray.size());
    for (qsizetype r = 0; r < rowArray.size(); ++r) {
        const QJsonArray cells = rowArray.at(r).toArray();
        if (!rowArray.at(r).isArray() || cells.size() != content.columns.size())
            refuse(dataSet, QStringLiteral("a linha %1 não tem %2 valores")
                                .arg(r + 1)
                                .arg(content.columns.size()));
        QVector<QVariant> row(content.columns.size());
        for (int c = 0; c < content.columns.size(); ++c) {
            const QJsonValue v = cells.at(c);
            if (v.isNull())
                continue;
            const QString &name = content.columns.at(c).name;
            switch (types.at(c)) {
            case CellType::String:
                if (!v.isString())
                    refuse(dataSet, QStringLiteral("campo '%1' da linha %2 deveria ser um texto")
                                        .arg(name)
                                        .arg(r + 1));
                row[c] = v.toString();
                break;
            case CellType::DateTime: {
                const double d = v.toDouble(std::nan(""));
                if (!v.isDouble() || !TDateTime(d).isValid())
                    refuse(dataSet, QStringLiteral("campo '%1' da linha %2 deveria ser uma data")
                                        .arg(name)
                                        .arg(r + 1));
                row[c] = QVariant::fromValue(TDateTime(d));
                break;
            }
            case CellType::Integer:
            case CellType::Float:
                if (!v.isDouble())
                    refuse(dataSet, QStringLiteral("campo '%1' da linha %2 deveria ser um número")
                                        .arg(name)
                                        .arg(r + 1));
                // A number beyond the 64-bit range would not convert to an integer.
                if (types.at(c) == CellType::Integer && !(std::fabs(v.toDouble()) < 9.2e18))
                    refuse(dataSet, QStringLiteral("campo '%1' da linha %2 está fora do "
                                                   "intervalo dos números inteiros")
                                        .arg(name)
                                        .arg(r + 1));
                if (types.at(c) == CellType::Integer)
                    row[c] = static_cast<qlonglong>(v.toDouble());
                else
                    row[c] = v.toDouble();
                break;
            }
        }
        content.rows << std::move(row);
    }
    return content;
}

QJsonObject FromDataSet(const TDataSet &dataSet)
{
    const QVector<TDataSet::Column> &columns = dataSet.Columns();
    QVector<QVector<QVariant>> rows;
    rows.reserve(dataSet.RecordCount());
    for (int r = 0; r < dataSet.RecordCount(); ++r) {
        QVector<QVariant> row(columns.size());
        for (int c = 0; c < columns.size(); ++c)
            row[c] = dataSet.Value(r, c);
        rows << row;
    }
    QJsonArray fields;
    QStringList types;
    for (int c = 0; c < columns.size(); ++c) {
        const TDataSet::Column &column = columns.at(c);
        types << typeName(column, rows, c);
        int size = column.size;
        // A declared field knows its width; a field made from the data only has the default.
        if (const TField *f = dataSet.FindField(column.name);
            f && dataSet.IsDeclared(f) && size == 0 && types.last() == QLatin1String("string"))
            size = f->Size();
        QJsonObject field{{QStringLiteral("name"), column.name},
                          {QStringLiteral("type"), types.last()}};
        if (size > 0)
            field.insert(QStringLiteral("size"), size);
        fields.append(field);
    }
    QJsonArray jsonRows;
    for (const QVector<QVariant> &row : std::as_const(rows)) {
        QJsonArray cells;
        for (int c = 0; c < columns.size(); ++c)
            cells.append(cell(row.at(c), types.at(c)));
        jsonRows.append(cells);
    }
    return {{QStringLiteral("fields"), fields},
            {QStringLiteral("rows"), jsonRows},
            {QStringLiteral("status"), 0},
            {QStringLiteral("message"), QString()}};
}

QJsonObject Failure(int status, const QString &message)
{
    return {{QStringLiteral("fields"), QJsonArray()},
            {QStringLiteral("rows"), QJsonArray()},
            {QStringLiteral("status"), status},
            {QStringLiteral("message"), message}};
}

} // namespace Velmora::DataPacket
