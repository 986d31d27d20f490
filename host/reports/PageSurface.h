#pragma once

#include "reports_global.h"

#include <QList>
#include <QPointF>

class QPainter;

namespace Velmora::Reports {

class GlyphFont;

// Where a report's pages are drawn: the screen and the printer through a QPainter, the saved
// PDF through a writer of its own. The report draws only positioned glyphs and rules, in
// units of ReportPainter::UnitsPerPoint from the page's corner.
class VELMORA_REPORTS_EXPORT PageSurface
{
public:
    virtual ~PageSurface() = default;
    // The glyphs of one face at x = positions[i].x() on the baseline.
    virtual void drawGlyphs(GlyphFont &font, const QList<quint32> &glyphs,
                            const QList<QPointF> &positions, double baseline) = 0;
    // A black horizontal or vertical line width units thick.
    virtual void drawLine(const QPointF &from, const QPointF &to, double width) = 0;
};

// Draws through a painter that counts in points.
class VELMORA_REPORTS_EXPORT PainterSurface : public PageSurface
{
public:
    explicit PainterSurface(QPainter &painter);
    ~PainterSurface() override;
    PainterSurface(const PainterSurface &) = delete;
    PainterSurface &operator=(const PainterSurface &) = delete;

    void drawGlyphs(GlyphFont &font, const QList<quint32> &glyphs, const QList<QPointF> &positions,
                    double baseline) override;
    void drawLine(const QPointF &from, const QPointF &to, double width) override;

private:
    QPainter &m_painter;
};

} // namespace Velmora::Reports
