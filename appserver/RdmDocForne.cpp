#include "RdmDocForne.h"

#include "DataPacket.h"
#include "DatabaseAccess.h"
#include "RpcError.h"

#include "rtl/DateConvert.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include <optional>

namespace AppServer {

namespace {

using Type = PacketField::Type;

// The key of a map. A code longer than its column names no map, so it is answered without
// asking the database (Firebird would reject the over-long parameter instead).
struct MapKey
{
    QString company, registration, tax;
    bool fitsColumns() const
    {
        return company.size() <= 2 && tax.size() <= 2 && registration.size() <= 16;
    }
};

struct Period
{
    QDate start, end;
};

const char *const selectMaps = "SELECT DTINIPERIODO, DTFIMPERIODO FROM MAPAAPURACAO"
                               " WHERE CDEMPRESA = ? AND CDINSCRICAO = ?"
                               " AND CDIMPOSTONFE = ?";

QDate dateColumn(const QVariant &value)
{
    if (value.userType() == QMetaType::QDate)
        return value.toDate();
    if (value.userType() == QMetaType::QDateTime)
        return value.toDateTime().date();
    return QDate::fromString(value.toString().left(10), Qt::ISODate);
}

// A date filter: the date and how many placeholders after the key's three receive it
// (positional placeholders bind faster than named ones on the hot path).
struct DateFilter
{
    QDate date;
    int placeholders;
};

std::vector<Period> readPeriods(WorkerConnection &connection, const QString &sql, const MapKey &key,
                                const std::optional<DateFilter> &filter)
{
    QSqlQuery &query = connection.prepared(sql);
    query.bindValue(0, key.company);
    query.bindValue(1, key.registration);
    query.bindValue(2, key.tax);
    if (filter) {
        const QVariant value = Velmora::ToEngineValue(filter->date, connection.engine());
        for (int i = 0; i < filter->placeholders; ++i)
            query.bindValue(3 + i, value);
    }
    if (!query.exec())
        throw DatabaseFailure(query.lastError().text().toStdString());
    std::vector<Period> periods;
    while (query.next()) {
        Period p{dateColumn(query.value(0)), dateColumn(query.value(1))};
        if (!p.start.isValid() || !p.end.isValid()) {
            const std::string detail = "MAPAAPURACAO: " + query.value(0).toString().toStdString() +
                                       " / " + query.value(1).toString().toStdString();
            query.finish();
            throw RpcError(RpcCode::DatabaseFailure,
                           "Há um mapa de apuração com período inválido no banco de dados.",
                           detail);
        }
        periods.push_back(p);
    }
    const QSqlError error = query.lastError();
    query.finish(); // ends the read, so writers are not kept waiting
    if (error.isValid())
        throw DatabaseFailure(error.text().toStdString());
    return periods;
}

nlohmann::json number(QDate date)
{
    return TDateTime::fromDate(date).value();
}

nlohmann::json text(QDate date)
{
    return DateToStr(TDateTime::fromDate(date)).toStdString();
}

// Runs one lookup on a database worker and writes each period as a row of the packet.
nlohmann::json lookup(DatabaseAccess &database, std::vector<PacketField> fields, QString sql,
                      MapKey key, std::optional<DateFilter> filter,
                      nlohmann::json (*row)(const Period &))
{
    if (!key.fitsColumns())
        return DataPacket(std::move(fields)).toJson();
    return database.run([fields = std::move(fields), sql = std::move(sql), key = std::move(key),
                         filter = std::move(filter), row](WorkerConnection &connection) {
        DataPacket packet(fields);
        for (const Period &p : readPeriods(connection, sql, key, filter))
            packet.addRow(row(p));
        return packet.toJson();
    });
}

const std::vector<ParamSpec> keyAndDate = {{ParamKind::Text, "empresa"},
                                           {ParamKind::Text, "inscrição"},
                                           {ParamKind::Date, "data"},
                                           {ParamKind::Text, "imposto"}};

MapKey keyOf(const Arguments &a, std::size_t taxAt)
{
    return {a.text(0), a.text(1), a.text(taxAt)};
}

DateFilter holdingDate(const Arguments &a)
{
    return {a.date(2).toDate(), 2};
}

} // namespace

RdmDocForne::RdmDocForne() : DataModule("Fis01400.rdmDocForne")
{
    addMethod({"GetDtIni",
               {{ParamKind::Text, "empresa"},
                {ParamKind::Text, "inscrição"},
                {ParamKind::Text, "imposto"}},
               [](const Arguments &a, DatabaseAccess &database) {
                   return lookup(
                       database,
                       {{"DTINICIAL", Type::String, 13},
                        {"DTINIPERIODO", Type::DateTime, 0},
                        {"DTFIMPERIODO", Type::DateTime, 0}},
                       QLatin1String(selectMaps) +
                           QLatin1String(" ORDER BY DTINIPERIODO DESC, DTFIMPERIODO DESC"),
                       keyOf(a, 2), std::nullopt, [](const Period &p) {
                           return nlohmann::json{text(p.start), number(p.start), number(p.end)};
                       });
               }});
    addMethod({"GetDtFim", keyAndDate, [](const Arguments &a, DatabaseAccess &database) {
                   return lookup(database,
                                 {{"DTINICIAL", Type::String, 13},
                                  {"DTFINAL", Type::String, 13},
                                  {"DTINIPERIODO", Type::DateTime, 0},
                                  {"DTFIMPERIODO", Type::DateTime, 0}},
                                 QLatin1String(selectMaps) +
                                     QLatin1String(" AND DTFIMPERIODO >= ?"
                                                   " ORDER BY DTFIMPERIODO, DTINIPERIODO"),
                                 keyOf(a, 3), DateFilter{a.date(2).toDate(), 1},
                                 [](const Period &p) {
                                     return nlohmann::json{text(p.start), text(p.end),
                                                           number(p.start), number(p.end)};
                                 });
               }});
    const QString holding =
        QLatin1String(selectMaps) + QLatin1String(" AND DTINIPERIODO <= ? AND DTFIMPERIODO >= ?"
                                                  " ORDER BY DTINIPERIODO DESC, DTFIMPERIODO DESC");
    addMethod({"GetVdDataIni", keyAndDate, [holding](const Arguments &a, DatabaseAccess &database) {
                   return lookup(
                       database,
                       {{"DTINIPERIODO", Type::DateTime, 0}, {"DTINICIAL", Type::String, 10}},
                       holding, keyOf(a, 3), holdingDate(a), [](const Period &p) {
                           return nlohmann::json{number(p.start), text(p.start)};
                       });
               }});
    addMethod(
        {"GetVdDataFinal", keyAndDate, [holding](const Arguments &a, DatabaseAccess &database) {
             return lookup(database,
                           {{"DTFIMPERIODO", Type::DateTime, 0}, {"DTFINAL", Type::String, 10}},
                           holding, keyOf(a, 3), holdingDate(a), [](const Period &p) {
                               return nlohmann::json{number(p.end), text(p.end)};
                           });
         }});
}

} // namespace AppServer
