#include "PageSurface.h"

#include "GlyphFont.h"
#include "ReportPainter.h"

#include <QGlyphRun>
#include <QPainter>
#include <QPen>

namespace Velmora::Reports {

PainterSurface::PainterSurface(QPainter &painter) : m_painter(painter)
{
    m_painter.save();
    m_painter.scale(1 / ReportPainter::UnitsPerPoint, 1 / ReportPainter::UnitsPerPoint);
}

PainterSurface::~PainterSurface()
{
    m_painter.restore();
}

void PainterSurface::drawGlyphs(GlyphFont &font, const QList<quint32> &glyphs,
                                const QList<QPointF> &positions, double baseline)
{
    QGlyphRun run;
    run.setRawFont(font.raw());
    run.setGlyphIndexes(glyphs);
    run.setPositions(positions);
    m_painter.drawGlyphRun(QPointF(0, baseline), run);
}

void PainterSurface::drawLine(const QPointF &from, const QPointF &to, double width)
{
    QPen pen = m_painter.pen();
    pen.setWidthF(width);
    m_painter.setPen(pen);
    m_painter.drawLine(from, to);
}

} // namespace Velmora::Reports
