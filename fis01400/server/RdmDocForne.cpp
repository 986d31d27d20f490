#include "RdmDocForne.h"

#include "DataModuleRegistry.h"
#include "DataPacket.h"
#include "DatabaseAccess.h"
#include "MapPeriodCache.h"
#include "RpcError.h"
#include "SqliteStatement.h"

#include "rtl/DateConvert.h"
#include "rtl/Settings.h"

#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <unordered_map>

namespace AppServer {

namespace {

using Type = PacketField::Type;

// Characters of a UTF-8 text as the Qt side counts them (UTF-16 units): a column's width is
// given in those.
std::size_t utf16Length(const std::string &utf8)
{
    std::size_t n = 0;
    for (const char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        if ((u & 0xC0) != 0x80)
            n += u >= 0xF0 ? 2 : 1;
    }
    return n;
}

// The key of a map. A code longer than its column names no map, so it is answered without
// asking the database (Firebird would reject the over-long parameter instead).
struct MapKey
{
    const std::string &company, &registration, &tax;
    bool fitsColumns() const
    {
        return utf16Length(company) <= 2 && utf16Length(tax) <= 2 &&
               utf16Length(registration) <= 16;
    }
    // The key's name in the cache; lengths first, so no text can pass for two.
    std::string cacheName() const
    {
        std::string name;
        name.reserve(company.size() + registration.size() + tax.size() + 2);
        name += static_cast<char>(company.size());
        name += company;
        name += static_cast<char>(registration.size());
        name += registration;
        name += tax;
        return name;
    }
};

const char *const selectMaps = "SELECT DTINIPERIODO, DTFIMPERIODO FROM MAPAAPURACAO"
                               " WHERE CDEMPRESA = ? AND CDINSCRICAO = ?"
                               " AND CDIMPOSTONFE = ?";
// Every map of a key, in the order the cache keeps them.
const std::string selectAllMaps = std::string(selectMaps) + " ORDER BY DTINIPERIODO, DTFIMPERIODO";

QDate dateColumn(const QVariant &value)
{
    if (value.userType() == QMetaType::QDate)
        return value.toDate();
    if (value.userType() == QMetaType::QDateTime)
        return value.toDateTime().date();
    return QDate::fromString(value.toString().left(10), Qt::ISODate);
}

// SQLite keeps dates as ISO texts ("2024-03-01", maybe followed by a time); anything else is
// no date, as for the Qt driver's reading above.
QDate isoDateColumn(std::string_view text, bool isText)
{
    if (!isText || text.size() < 10 || text[4] != '-' || text[7] != '-')
        return {};
    int parts[3] = {0, 0, 0};
    const int starts[3] = {0, 5, 8}, lengths[3] = {4, 2, 2};
    for (int p = 0; p < 3; ++p)
        for (int i = starts[p]; i < starts[p] + lengths[p]; ++i) {
            if (text[i] < '0' || text[i] > '9')
                return {};
            parts[p] = parts[p] * 10 + (text[i] - '0');
        }
    return QDate(parts[0], parts[1], parts[2]);
}

// A date filter: the date and how many placeholders after the key's three receive it
// (positional placeholders bind faster than named ones on the hot path).
struct DateFilter
{
    QDate date;
    int placeholders;
};

// The text the framework binds for a date on SQLite ("%04d-%02d-%02d"), without printf.
std::string isoText(QDate date)
{
    int y = 0, m = 0, d = 0;
    date.getDate(&y, &m, &d);
    if (y < 0 || y > 9999) {
        char text[32];
        const int n = std::snprintf(text, sizeof text, "%04d-%02d-%02d", y, m, d);
        return std::string(text, static_cast<std::size_t>(n));
    }
    const char text[10] = {static_cast<char>('0' + y / 1000),
                           static_cast<char>('0' + y / 100 % 10),
                           static_cast<char>('0' + y / 10 % 10),
                           static_cast<char>('0' + y % 10),
                           '-',
                           static_cast<char>('0' + m / 10),
                           static_cast<char>('0' + m % 10),
                           '-',
                           static_cast<char>('0' + d / 10),
                           static_cast<char>('0' + d % 10)};
    return std::string(text, sizeof text);
}

RpcError invalidPeriod(const std::string &start, const std::string &end)
{
    return RpcError(RpcCode::DatabaseFailure,
                    "Há um mapa de apuração com período inválido no banco de dados.",
                    "MAPAAPURACAO: " + start + " / " + end);
}

std::vector<Period> readPeriodsSqlite(SqliteStatement &query, const MapKey &key,
                                      const std::optional<DateFilter> &filter)
{
    query.start();
    query.bind(0, key.company);
    query.bind(1, key.registration);
    query.bind(2, key.tax);
    if (filter) {
        const std::string iso = isoText(filter->date);
        for (int i = 0; i < filter->placeholders; ++i)
            query.bind(3 + i, iso);
    }
    std::vector<Period> periods;
    while (query.step()) {
        bool startIsText = false, endIsText = false;
        const std::string_view start = query.text(0, &startIsText);
        const std::string_view end = query.text(1, &endIsText);
        Period p{isoDateColumn(start, startIsText), isoDateColumn(end, endIsText)};
        if (!p.start.isValid() || !p.end.isValid()) {
            const RpcError error = invalidPeriod(std::string(start), std::string(end));
            query.finish();
            throw error;
        }
        periods.push_back(p);
    }
    query.finish(); // ends the read, so writers are not kept waiting
    return periods;
}

// Every map of the key for the cache, or null when a stored date is anything but a plain ISO
// date (with a time, say): the statements compare the stored texts, and only for plain dates of
// four-digit years is that the order of the dates themselves. Such keys are always read with
// their own statement.
MapPeriodCache::Periods readAllPeriodsSqlite(SqliteStatement &query, const MapKey &key)
{
    query.start();
    query.bind(0, key.company);
    query.bind(1, key.registration);
    query.bind(2, key.tax);
    auto periods = std::make_shared<std::vector<Period>>();
    while (query.step()) {
        bool startIsText = false, endIsText = false;
        const std::string_view start = query.text(0, &startIsText);
        const std::string_view end = query.text(1, &endIsText);
        Period p{isoDateColumn(start, startIsText), isoDateColumn(end, endIsText)};
        if (start.size() != 10 || end.size() != 10 || !p.start.isValid() || !p.end.isValid()) {
            query.finish();
            return nullptr;
        }
        periods->push_back(p);
    }
    query.finish();
    periods->shrink_to_fit(); // kept for long, by thousands
    return periods;
}

// Whether comparing the date's ISO text, as the statements do, orders it as the date itself.
bool comparesAsText(QDate date)
{
    return date.isValid() && date.year() >= 1 && date.year() <= 9999;
}

std::vector<Period> readPeriods(WorkerConnection &connection, const QString &sql, const MapKey &key,
                                const std::optional<DateFilter> &filter)
{
    QSqlQuery &query = connection.prepared(sql);
    query.bindValue(0, QString::fromStdString(key.company));
    query.bindValue(1, QString::fromStdString(key.registration));
    query.bindValue(2, QString::fromStdString(key.tax));
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
            const RpcError error = invalidPeriod(query.value(0).toString().toStdString(),
                                                 query.value(1).toString().toStdString());
            query.finish();
            throw error;
        }
        periods.push_back(p);
    }
    const QSqlError error = query.lastError();
    query.finish(); // ends the read, so writers are not kept waiting
    if (error.isValid())
        throw DatabaseFailure(error.text().toStdString());
    return periods;
}

// The date texts of a worker, one per day, in the settings' short date format: formatting a
// date through QLocale costs more than the lookup's query. Forgotten when the format changes.
class DateTexts
{
public:
    static DateTexts &ofThisThread()
    {
        thread_local DateTexts texts;
        const QString format = FormatSettings::ShortDateFormat();
        if (format != texts.m_format || texts.m_texts.size() > 100000) {
            texts.m_format = format;
            texts.m_texts.clear();
        }
        return texts;
    }

    std::string_view of(QDate date)
    {
        std::string &text = m_texts[date.toJulianDay()];
        if (text.empty())
            text = DateToStr(TDateTime::fromDate(date)).toStdString();
        return text;
    }

private:
    QString m_format;
    std::unordered_map<qint64, std::string> m_texts;
};

double number(QDate date)
{
    return TDateTime::fromDate(date).value();
}

using RowWriter = void (*)(DataPacket &, const Period &, DateTexts &);
// What a lookup's statement answers, taken from all of a key's maps (ordered by start, end).
using Selection = std::vector<Period> (*)(const std::vector<Period> &, QDate);

// One lookup of the module: its answer's fields, its statement and how a period becomes a row.
struct MapLookup
{
    std::shared_ptr<const PacketLayout> layout;
    std::string sql;
    QString qtSql;
    RowWriter row;
    Selection select;
    std::shared_ptr<MapPeriodCache> cache;

    // `sqliteText` is the statement for SQLite when it differs from the others'.
    MapLookup(std::vector<PacketField> fields, const std::string &sqlText, RowWriter writer,
              Selection selection, std::shared_ptr<MapPeriodCache> periodCache,
              const std::string &sqliteText = {})
        : layout(std::make_shared<const PacketLayout>(std::move(fields))),
          sql(sqliteText.empty() ? sqlText : sqliteText), qtSql(QString::fromStdString(sqlText)),
          row(writer), select(selection), cache(std::move(periodCache))
    {}

    DataPacket run(DatabaseAccess &database, const MapKey &key,
                   const std::optional<DateFilter> &filter) const
    {
        if (!key.fitsColumns())
            return DataPacket(layout);
        return database.run([&](WorkerConnection &connection) {
            DataPacket packet(layout);
            DateTexts &texts = DateTexts::ofThisThread();
            for (const Period &p : periods(connection, key, filter))
                row(packet, p, texts);
            return packet;
        });
    }

private:
    std::vector<Period> periods(WorkerConnection &connection, const MapKey &key,
                                const std::optional<DateFilter> &filter) const
    {
        SqliteStatement *const native = connection.sqlitePrepared(sql);
        if (!native)
            return readPeriods(connection, qtSql, key, filter);
        const QDate date = filter ? filter->date : QDate();
        if (!cache->enabled() || (filter && !comparesAsText(date)))
            return readPeriodsSqlite(*native, key, filter);
        const std::optional<bool> changed = connection.sqliteChangedSinceAsked();
        if (changed.value_or(true))
            cache->forgetAll();
        const std::string name = key.cacheName();
        MapPeriodCache::Periods all = cache->find(name);
        if (!all) {
            // Taken before the read: a change seen meanwhile by another worker drops it.
            const std::uint64_t generation = cache->generation();
            all = readAllPeriodsSqlite(*connection.sqlitePrepared(selectAllMaps), key);
            if (!all)
                return readPeriodsSqlite(*native, key, filter);
            cache->store(name, all, generation);
        }
        return select(*all, date);
    }
};

// The selections, each the same rows in the same order as its statement.
std::vector<Period> newestFirst(const std::vector<Period> &all, QDate)
{
    return {all.rbegin(), all.rend()};
}

std::vector<Period> endingFrom(const std::vector<Period> &all, QDate date)
{
    std::vector<Period> out;
    for (const Period &p : all)
        if (p.end >= date)
            out.push_back(p);
    std::stable_sort(out.begin(), out.end(), [](const Period &a, const Period &b) {
        return a.end != b.end ? a.end < b.end : a.start < b.start;
    });
    return out;
}

std::vector<Period> holding(const std::vector<Period> &all, QDate date)
{
    std::vector<Period> out;
    for (auto p = all.rbegin(); p != all.rend(); ++p)
        if (p->start <= date && p->end >= date)
            out.push_back(*p);
    return out;
}

const std::vector<ParamSpec> keyAndDate = {{ParamKind::Text, "empresa"},
                                           {ParamKind::Text, "inscrição"},
                                           {ParamKind::Date, "data"},
                                           {ParamKind::Text, "imposto"}};

MapKey keyOf(const Arguments &a, std::size_t taxAt)
{
    return {a.utf8(0), a.utf8(1), a.utf8(taxAt)};
}

DateFilter holdingDate(const Arguments &a)
{
    return {a.date(2).toDate(), 2};
}

} // namespace

RdmDocForne::RdmDocForne() : DataModule("Fis01400.rdmDocForne")
{
    const auto cache = std::make_shared<MapPeriodCache>(
        static_cast<std::size_t>(Velmora::settings().serverCachedPeriods));
    const std::string maps = selectMaps;
    const auto dtIni = std::make_shared<const MapLookup>(
        std::vector<PacketField>{{"DTINICIAL", Type::String, 13},
                                 {"DTINIPERIODO", Type::DateTime, 0},
                                 {"DTFIMPERIODO", Type::DateTime, 0}},
        maps + " ORDER BY DTINIPERIODO DESC, DTFIMPERIODO DESC",
        [](DataPacket &packet, const Period &p, DateTexts &texts) {
            packet.addRow({texts.of(p.start), number(p.start), number(p.end)});
        },
        newestFirst, cache);
    addMethod({"GetDtIni",
               {{ParamKind::Text, "empresa"},
                {ParamKind::Text, "inscrição"},
                {ParamKind::Text, "imposto"}},
               [dtIni](const Arguments &a, DatabaseAccess &database) {
                   return dtIni->run(database, keyOf(a, 2), std::nullopt);
               }});

    const auto dtFim = std::make_shared<const MapLookup>(
        std::vector<PacketField>{{"DTINICIAL", Type::String, 13},
                                 {"DTFINAL", Type::String, 13},
                                 {"DTINIPERIODO", Type::DateTime, 0},
                                 {"DTFIMPERIODO", Type::DateTime, 0}},
        maps + " AND DTFIMPERIODO >= ? ORDER BY DTFIMPERIODO, DTINIPERIODO",
        [](DataPacket &packet, const Period &p, DateTexts &texts) {
            packet.addRow({texts.of(p.start), texts.of(p.end), number(p.start), number(p.end)});
        },
        endingFrom, cache);
    addMethod({"GetDtFim", keyAndDate, [dtFim](const Arguments &a, DatabaseAccess &database) {
                   return dtFim->run(database, keyOf(a, 3), DateFilter{a.date(2).toDate(), 1});
               }});

    const std::string holdingSql = maps + " AND DTINIPERIODO <= ? AND DTFIMPERIODO >= ?"
                                          " ORDER BY DTINIPERIODO DESC, DTFIMPERIODO DESC";
    // SQLite gives DATE columns numeric affinity: compared with the date's text, the end of
    // every map the index walks past would first be tried as a number (a third of the query's
    // time). The unary plus drops the affinity; both sides are ISO texts, so the outcome is the
    // same.
    const std::string holdingSqlite = maps + " AND DTINIPERIODO <= ? AND +DTFIMPERIODO >= ?"
                                             " ORDER BY DTINIPERIODO DESC, DTFIMPERIODO DESC";
    const auto vdDataIni = std::make_shared<const MapLookup>(
        std::vector<PacketField>{{"DTINIPERIODO", Type::DateTime, 0},
                                 {"DTINICIAL", Type::String, 10}},
        holdingSql,
        [](DataPacket &packet, const Period &p, DateTexts &texts) {
            packet.addRow({number(p.start), texts.of(p.start)});
        },
        holding, cache, holdingSqlite);
    addMethod(
        {"GetVdDataIni", keyAndDate, [vdDataIni](const Arguments &a, DatabaseAccess &database) {
             return vdDataIni->run(database, keyOf(a, 3), holdingDate(a));
         }});

    const auto vdDataFinal = std::make_shared<const MapLookup>(
        std::vector<PacketField>{{"DTFIMPERIODO", Type::DateTime, 0},
                                 {"DTFINAL", Type::String, 10}},
        holdingSql,
        [](DataPacket &packet, const Period &p, DateTexts &texts) {
            packet.addRow({number(p.end), texts.of(p.end)});
        },
        holding, cache, holdingSqlite);
    addMethod(
        {"GetVdDataFinal", keyAndDate, [vdDataFinal](const Arguments &a, DatabaseAccess &database) {
             return vdDataFinal->run(database, keyOf(a, 3), holdingDate(a));
         }});
}

VELMORA_DATA_MODULE(RdmDocForne)

} // namespace AppServer
