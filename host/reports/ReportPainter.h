#pragma once

#include "GlyphFont.h"
#include "ReportHeading.h"
#include "ReportLayout.h"
#include "ReportSource.h"
#include "ValueFormat.h"
#include "reports_global.h"

#include <QList>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class QPainter;

namespace Velmora::Reports {

// What every page repeats above the rows.
struct VELMORA_REPORTS_EXPORT PageContext
{
    QString title;
    QString reportCode;
    QString issued;  // "Emitido em ..."
    Heading heading; // the values the report ran with, in the clerk's words
};

// Lays bands out on pages and paints them from the page's top-left corner, in tenths of a
// point: glyph positions fall on whole units, which keeps the PDF's text operators short
// (the PDF writer's time goes mostly into formatting and compressing them). The painter
// given must be scaled so that one unit is 1/UnitsPerPoint point. The layout is fixed-height
// lines, so where a page breaks depends only on the band sequence: the same painter measures
// (painter nullptr) and paints, and a page can be painted again later from its first band
// and its State.
class VELMORA_REPORTS_EXPORT ReportPainter
{
public:
    struct State
    {
        int page = 0;      // pages begun so far
        QString openGroup; // header of the group that runs across the break
    };

    static constexpr double UnitsPerPoint = 10;

    ReportPainter(const ReportLayout &layout, const PageContext &context);

    // In points.
    QSizeF pageSize() const { return m_pageSize; }
    // Whether band must go to a new page (there is no room left for it on this one).
    bool breaksBefore(const Band &band) const;
    // Starts the next page: the page heading, the column titles and, when a group goes on
    // from the page before, its header marked as continued.
    void beginPage(QPainter *painter, Band::Kind firstBand);
    void place(QPainter *painter, const Band &band);

    const State &state() const { return m_state; }
    void restore(const State &state) { m_state = state; }
    int pages() const { return m_state.page; }

private:
    double height(Band::Kind kind) const;
    // The parameters broken between their "; " on at most ParameterLines lines of the body's
    // width; what does not fit is cut, the cut marked.
    QStringList parameterLines() const;
    static constexpr int ParameterLines = 2;
    void drawRow(QPainter *painter, GlyphFont &font, const QVariantList &values, double baseline);
    void drawText(QPainter *painter, GlyphFont &font, const QString &text, double left,
                  double width, Align align, double baseline);
    void flush(QPainter *painter, GlyphFont &font, double baseline);

    ReportLayout m_layout;
    PageContext m_context;
    QSizeF m_pageSize;
    QRectF m_body;
    std::vector<double> m_left, m_width;
    std::vector<ValueFormatter> m_formats;
    std::unique_ptr<GlyphFont> m_regular, m_bold, m_title;
    double m_line = 0;
    QStringList m_parameters; // parameterLines(), laid out once
    double m_y = 0;
    State m_state;
    QList<quint32> m_glyphs;
    QList<QPointF> m_positions;
};

} // namespace Velmora::Reports
