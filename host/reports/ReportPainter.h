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

namespace Velmora::Reports {

class PageSurface;

// What the pages show besides the rows.
struct VELMORA_REPORTS_EXPORT PageContext
{
    QString title;
    QString reportCode;
    QString issued;  // "Emitido em ...", in every page's footer
    Heading heading; // the values the report ran with, in the clerk's words

    // A layout's report issued now, on a screen or in the background alike.
    static PageContext issuedNow(const ReportLayout &layout, const QString &reportCode);
};

// A band as a page shows it: its values already turned into text by the columns' formats.
struct VELMORA_REPORTS_EXPORT PageBand
{
    Band::Kind kind = Band::Detail;
    QString text;
    QStringList cells; // one per column, empty where the band has no value
};

// Lays bands out on pages and paints them on a surface from the page's top-left corner, in
// tenths of a point. Lines have fixed heights, so where a page breaks depends only on the band
// sequence: the same painter measures (surface nullptr) and paints, and a page can be painted
// again later from its first band and its State.
//
// The first page carries the heading, one line per value; the others its summary on one
// line. Every page ends in a footer with the emission time and "Página N de M" (M once the
// page count is known). The columns share the width between the margins in the proportions
// of their widths.
class VELMORA_REPORTS_EXPORT ReportPainter
{
public:
    struct State
    {
        int page = 0;      // pages begun so far
        QString openGroup; // header of the group that runs across the break
        bool rows = false; // whether the page holds bands yet
    };

    static constexpr double UnitsPerPoint = 10;

    ReportPainter(const ReportLayout &layout, const PageContext &context);

    // In points.
    QSizeF pageSize() const { return m_pageSize; }
    void format(const Band &band, PageBand &out) const;
    double height(Band::Kind kind) const;
    // Whether bands this tall must go to a new page: they do not fit in what is left of this
    // one, and the page already holds some.
    bool breaksBefore(double height) const;
    // Starts the next page: the heading, the column titles and, when a group goes on from the
    // page before and rows of it follow, its header marked as continued.
    void beginPage(PageSurface *surface, Band::Kind firstBand);
    void place(PageSurface *surface, const PageBand &band);
    // "Página N de M" from now on; 0 while the count is not known.
    void setPageCount(int count) { m_pageCount = count; }

    const State &state() const { return m_state; }
    void restore(const State &state) { m_state = state; }
    int pages() const { return m_state.page; }

private:
    void drawRow(PageSurface *surface, GlyphFont &font, const QStringList &cells, double baseline);
    void drawText(PageSurface *surface, GlyphFont &font, const QString &text, double left,
                  double width, Align align, double baseline);
    void drawRule(PageSurface *surface, double y, double width) const;
    void drawFooter(PageSurface *surface);
    void flush(PageSurface *surface, GlyphFont &font, double baseline);
    // The text cut to the width, the cut marked.
    QString elided(GlyphFont &font, const QString &text, double width) const;

    ReportLayout m_layout;
    PageContext m_context;
    QString m_summary;
    QSizeF m_pageSize;
    QRectF m_body;   // between the margins
    double m_bottom; // where rows end: above the footer
    double m_tableWidth = 0;
    std::vector<double> m_left, m_width;
    std::vector<ValueFormatter> m_formats;
    std::unique_ptr<GlyphFont> m_regular, m_bold, m_title;
    double m_line = 0;
    double m_captionWidth = 0;
    double m_y = 0;
    int m_pageCount = 0;
    State m_state;
    QList<quint32> m_glyphs;
    QList<QPointF> m_positions;
};

} // namespace Velmora::Reports
