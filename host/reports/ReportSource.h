#pragma once

#include "ReportConnection.h"
#include "ReportLayout.h"
#include "ReportProgress.h"
#include "reports_global.h"

#include "data/StreamingRead.h"

#include <QString>
#include <QVariantList>

#include <vector>

class TParams;

namespace Velmora::Reports {

// One line of a report as it streams out of the query.
struct VELMORA_REPORTS_EXPORT Band
{
    enum Kind : qint8 { GroupHeader, Detail, GroupFooter, Summary, Empty };
    Kind kind = Detail;
    QString text;             // header text, footer or summary label, empty-report notice
    QVariantList values;      // one per layout column: the row's values, or totals (null elsewhere)
    QVariantList groupValues; // Detail: the group fields' values, for tabular outputs
};

// Runs a layout's query and turns its rows into bands: a header when a group starts, a
// detail per row, a footer with the group's totals when it ends, the grand total at the end,
// or a single notice when there is no row. Holds one row at a time.
class VELMORA_REPORTS_EXPORT ReportSource
{
public:
    // Raises EDatabaseError naming the report when the query fails or would change data, and
    // Exception naming the layout file when the query does not answer a field the layout
    // shows. next() raises EDatabaseError naming the report when the engine fails on a row.
    ReportSource(const ReportLayout &layout, const ReportConnection &connection,
                 const TParams &params);

    // The next band; false at the end.
    bool next(Band &band);
    qint64 rows() const { return m_rows; }
    // Where the rows read are counted and a wish to stop is heeded (ReportCancelled); none
    // by default.
    void setProgress(ReportProgress *progress) { m_progress = progress; }
    ReportProgress *progress() const { return m_progress; }
    const ReportLayout &layout() const { return m_layout; }

    static QString EmptyNotice();

private:
    QString headerText(const QVariantList &groupValues) const;
    void footer(Band &band, const QString &label, const std::vector<long double> &sums) const;
    bool fetch();

    ReportLayout m_layout;
    Velmora::StreamingRead m_query;
    std::vector<int> m_columnIndex; // query column of each layout column
    std::vector<int> m_groupIndex;
    std::vector<int> m_groupColumn;  // layout column of each group field, -1 when none
    std::vector<int> m_totalColumns; // layout columns that are totals
    std::vector<long double> m_groupSums, m_grandSums;
    QVariantList m_row, m_groupRow, m_currentGroup;
    enum class State { Start, HaveRow, NeedRow, GroupEnded, Finished, Done } m_state = State::Start;
    qint64 m_rows = 0;
    ReportProgress *m_progress = nullptr;
};

} // namespace Velmora::Reports
