#include "ReportSource.h"

#include "ReportQuery.h"
#include "ValueFormat.h"
#include "data/TParams.h"
#include "rtl/Exceptions.h"

namespace Velmora::Reports {

ReportSource::ReportSource(const ReportLayout &layout, const ReportConnection &connection,
                           const TParams &params)
    : m_layout(layout)
{
    m_query = RunReportQuery(connection, layout.name(), layout.queryText(connection.kind), params);
    const QStringList names = m_query.fieldNames();
    auto find = [&](const QString &field) {
        for (int i = 0; i < names.size(); ++i)
            if (names.at(i).compare(field, Qt::CaseInsensitive) == 0)
                return i;
        return -1;
    };
    QStringList missing;
    for (const Column &c : layout.columns) {
        m_columnIndex.push_back(find(c.field));
        if (m_columnIndex.back() < 0)
            missing << c.field;
    }
    for (const GroupField &g : layout.group.fields) {
        m_groupColumn.push_back(layout.columnIndex(g.field));
        m_groupIndex.push_back(find(g.field));
        if (m_groupIndex.back() < 0)
            missing << g.field;
    }
    if (!missing.isEmpty())
        throw Exception(QStringLiteral("O layout de relatório '%1' mostra campos que a consulta "
                                       "não devolve: %2.")
                            .arg(layout.path.isEmpty() ? layout.title : layout.path,
                                 missing.join(QStringLiteral(", "))));
    for (int i = 0; i < layout.columns.size(); ++i)
        if (layout.isTotal(layout.columns.at(i).field))
            m_totalColumns.push_back(i);
    m_groupSums.assign(layout.columns.size(), 0);
    m_grandSums.assign(layout.columns.size(), 0);
    m_row.resize(layout.columns.size());
    m_groupRow.resize(static_cast<qsizetype>(m_groupIndex.size()));
}

QString ReportSource::EmptyNotice()
{
    return QStringLiteral("Nenhum registro encontrado para os parâmetros informados.");
}

bool ReportSource::fetch()
{
    bool more = false;
    try {
        more = m_query.next();
    } catch (const EDatabaseError &e) {
        throw ReportQueryFailure(m_layout.name(), e);
    }
    if (!more) {
        if (m_progress)
            m_progress->rows.store(m_rows, std::memory_order_relaxed);
        return false;
    }
    // Texts, nearly every field of a report, are taken over from the driver's value as they
    // are; the other types go through TypedValue.
    for (size_t i = 0; i < m_columnIndex.size(); ++i) {
        QVariant raw = m_query.value(m_columnIndex[i]);
        QVariant &cell = m_row[static_cast<qsizetype>(i)];
        const ColumnType type = m_layout.columns.at(static_cast<qsizetype>(i)).type;
        if (type == ColumnType::Text && raw.metaType().id() == QMetaType::QString)
            cell = std::move(raw);
        else
            cell = TypedValue(type, raw);
    }
    for (size_t i = 0; i < m_groupIndex.size(); ++i) {
        const int c = m_groupColumn[i];
        QVariant &cell = m_groupRow[static_cast<qsizetype>(i)];
        if (c >= 0) {
            cell = m_row.at(c);
            continue;
        }
        QVariant raw = m_query.value(m_groupIndex[i]);
        if (raw.metaType().id() == QMetaType::QString)
            cell = std::move(raw);
        else
            cell = TypedValue(ColumnType::Text, raw);
    }
    // Every few hundred rows: a run is stopped within a fraction of a second, at no cost.
    if ((++m_rows & 255) == 0 && m_progress) {
        m_progress->rows.store(m_rows, std::memory_order_relaxed);
        m_progress->check();
    }
    return true;
}

QString ReportSource::headerText(const QVariantList &groupValues) const
{
    QString text = m_layout.group.header;
    if (text.isEmpty()) {
        QStringList parts;
        for (const QVariant &v : groupValues)
            parts << v.toString();
        return parts.join(QStringLiteral(" - "));
    }
    for (int i = 0; i < m_layout.group.fields.size(); ++i) {
        const QVariant &v = groupValues.at(i);
        const QString shown =
            v.metaType().id() == QMetaType::QDate
                ? ValueFormatter(ColumnType::Date, QString(), ReportLocale()).text(v)
                : v.toString();
        text.replace(QLatin1Char('{') + m_layout.group.fields.at(i).field + QLatin1Char('}'), shown,
                     Qt::CaseInsensitive);
    }
    return text;
}

void ReportSource::footer(Band &band, const QString &label,
                          const std::vector<long double> &sums) const
{
    band.text = label;
    band.values.fill(QVariant(), m_layout.columns.size());
    for (int c : m_totalColumns)
        band.values[c] = static_cast<double>(sums[static_cast<size_t>(c)]);
    band.groupValues.clear();
}

namespace {
// Whether the row starts another group. Group fields are texts nearly always, compared here
// without QVariant's generic comparison, which a million rows feel.
bool sameGroup(const QVariantList &a, const QVariantList &b)
{
    for (qsizetype i = 0; i < a.size(); ++i) {
        const QVariant &x = a.at(i), &y = b.at(i);
        if (x.metaType().id() == QMetaType::QString && y.metaType().id() == QMetaType::QString) {
            if (*static_cast<const QString *>(x.constData()) !=
                *static_cast<const QString *>(y.constData()))
                return false;
        } else if (x != y) {
            return false;
        }
    }
    return true;
}
} // namespace

// A small state machine: a row read ahead decides whether a group ends before it is shown.
bool ReportSource::next(Band &band)
{
    const bool grouped = m_layout.group.enabled();
    for (;;) {
        switch (m_state) {
        case State::Start:
            if (!fetch()) {
                band.kind = Band::Empty;
                band.text = EmptyNotice();
                band.values.clear();
                band.groupValues.clear();
                m_state = State::Done;
                return true;
            }
            if (grouped) {
                m_currentGroup = m_groupRow;
                band.kind = Band::GroupHeader;
                band.text = headerText(m_currentGroup);
                band.values.clear();
                band.groupValues = m_currentGroup;
                m_state = State::HaveRow;
                return true;
            }
            m_state = State::HaveRow;
            continue;
        case State::HaveRow:
            band.kind = Band::Detail;
            band.text.clear();
            // The band takes the row and hands its old lists back to be refilled, so a row
            // costs no allocation.
            band.values.swap(m_row);
            band.groupValues.swap(m_groupRow);
            if (m_row.size() != band.values.size())
                m_row.resize(band.values.size());
            if (m_groupRow.size() != band.groupValues.size())
                m_groupRow.resize(band.groupValues.size());
            for (int c : m_totalColumns) {
                const QVariant &v = band.values.at(c);
                if (!v.isNull()) {
                    m_groupSums[static_cast<size_t>(c)] += v.toDouble();
                    m_grandSums[static_cast<size_t>(c)] += v.toDouble();
                }
            }
            m_state = State::NeedRow;
            return true;
        case State::NeedRow:
            if (!fetch()) {
                m_state = State::Finished;
                if (grouped) {
                    band.kind = Band::GroupFooter;
                    footer(band, m_layout.group.footer, m_groupSums);
                    return true;
                }
                continue;
            }
            if (grouped && !sameGroup(m_groupRow, m_currentGroup)) {
                band.kind = Band::GroupFooter;
                footer(band, m_layout.group.footer, m_groupSums);
                std::fill(m_groupSums.begin(), m_groupSums.end(), 0);
                m_state = State::GroupEnded;
                return true;
            }
            m_state = State::HaveRow;
            continue;
        case State::GroupEnded:
            m_currentGroup = m_groupRow;
            band.kind = Band::GroupHeader;
            band.text = headerText(m_currentGroup);
            band.values.clear();
            band.groupValues = m_currentGroup;
            m_state = State::HaveRow;
            return true;
        case State::Finished:
            band.kind = Band::Summary;
            footer(band, m_layout.grandTotal, m_grandSums);
            m_state = State::Done;
            return true;
        case State::Done:
            return false;
        }
    }
}

} // namespace Velmora::Reports
