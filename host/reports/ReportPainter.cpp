#include "ReportPainter.h"

#include <QPainter>
#include <QPen>

#include <cmath>

namespace Velmora::Reports {

namespace {
constexpr double U = ReportPainter::UnitsPerPoint;
constexpr double pointsPerMm = 72.0 / 25.4;
constexpr double unitsPerMm = pointsPerMm * U;
const QString family = QStringLiteral("DejaVu Sans");
constexpr double padding = 1.5 * U;
} // namespace

ReportPainter::ReportPainter(const ReportLayout &layout, const PageContext &context)
    : m_layout(layout), m_context(context)
{
    const QSizeF mm = layout.page.pageSize().size(QPageSize::Millimeter);
    m_pageSize =
        layout.page.landscape ? QSizeF(mm.height(), mm.width()) * pointsPerMm : mm * pointsPerMm;
    m_body = QRectF(
        layout.page.marginLeft * unitsPerMm, layout.page.marginTop * unitsPerMm,
        m_pageSize.width() * U - (layout.page.marginLeft + layout.page.marginRight) * unitsPerMm,
        m_pageSize.height() * U - (layout.page.marginTop + layout.page.marginBottom) * unitsPerMm);
    const double size = layout.page.fontSize * U;
    m_regular = std::make_unique<GlyphFont>(family, size, false);
    m_bold = std::make_unique<GlyphFont>(family, size, true);
    m_title = std::make_unique<GlyphFont>(family, size + 5 * U, true);
    m_line = size * 1.45;
    m_parameters = parameterLines();
    double x = m_body.left();
    const QLocale locale = ReportLocale();
    for (const Column &c : layout.columns) {
        m_left.push_back(x + padding);
        m_width.push_back(c.width * unitsPerMm - 2 * padding);
        x += c.width * unitsPerMm;
        m_formats.emplace_back(c.type, c.format, locale);
    }
}

double ReportPainter::height(Band::Kind kind) const
{
    switch (kind) {
    case Band::GroupHeader:
        return m_line * 1.4;
    case Band::Detail:
        return m_line;
    case Band::GroupFooter:
        return m_line * 1.3;
    case Band::Summary:
        return m_line * 1.6;
    case Band::Empty:
        return m_line * 2;
    }
    return m_line;
}

bool ReportPainter::breaksBefore(const Band &band) const
{
    double needed = height(band.kind);
    // A group header never stays alone at the foot of a page.
    if (band.kind == Band::GroupHeader)
        needed += height(Band::Detail);
    return m_y + needed > m_body.bottom() + 0.01;
}

void ReportPainter::flush(QPainter *painter, GlyphFont &font, double baseline)
{
    if (painter && !m_glyphs.isEmpty()) {
        QGlyphRun run;
        run.setRawFont(font.raw());
        run.setGlyphIndexes(m_glyphs);
        run.setPositions(m_positions);
        painter->drawGlyphRun(QPointF(0, std::round(baseline)), run);
    }
    m_glyphs.clear();
    m_positions.clear();
}

void ReportPainter::drawText(QPainter *painter, GlyphFont &font, const QString &text, double left,
                             double width, Align align, double baseline)
{
    if (!painter)
        return;
    QGlyphRun unused;
    font.layout(text, left, width, align, unused, m_glyphs, m_positions);
    flush(painter, font, baseline);
}

void ReportPainter::drawRow(QPainter *painter, GlyphFont &font, const QVariantList &values,
                            double baseline)
{
    if (!painter)
        return;
    QGlyphRun unused;
    for (qsizetype i = 0; i < values.size() && i < qsizetype(m_left.size()); ++i) {
        const QVariant &v = values.at(i);
        if (v.isNull())
            continue;
        const size_t c = static_cast<size_t>(i);
        font.layout(m_formats[c].text(v), m_left[c], m_width[c], m_layout.columns.at(i).align,
                    unused, m_glyphs, m_positions);
    }
    flush(painter, font, baseline);
}

QStringList ReportPainter::parameterLines() const
{
    QStringList lines;
    for (const HeadingLine &line : m_context.heading)
        lines << line.caption + QStringLiteral(": ") + line.text;
    return lines;
}

void ReportPainter::beginPage(QPainter *painter, Band::Kind firstBand)
{
    ++m_state.page;
    double y = m_body.top();
    const double titleLine = (m_layout.page.fontSize + 5) * U * 1.5;
    if (painter) {
        QPen pen = painter->pen();
        pen.setWidthF(0.5 * U);
        painter->setPen(pen);
    }
    drawText(painter, *m_title, m_context.title, m_body.left(), m_body.width(), Align::Left,
             y + m_title->ascent());
    y += titleLine;
    const double third = m_body.width() / 3;
    drawText(painter, *m_regular, m_context.reportCode, m_body.left(), third, Align::Left,
             y + m_regular->ascent());
    drawText(painter, *m_regular, m_context.issued, m_body.left() + third, third, Align::Center,
             y + m_regular->ascent());
    drawText(painter, *m_regular, QStringLiteral("Página %1").arg(m_state.page),
             m_body.left() + 2 * third, third, Align::Right, y + m_regular->ascent());
    y += m_line * 1.1;
    // The lines are kept even when empty: where pages break must not depend on them.
    for (int i = 0; i < ParameterLines; ++i) {
        drawText(painter, *m_regular, m_parameters.value(i), m_body.left() + padding,
                 m_body.width() - 2 * padding, Align::Left, y + m_regular->ascent());
        y += m_line;
    }
    y += m_line * 0.3;
    if (painter)
        painter->drawLine(QPointF(m_body.left(), y - m_line * 0.2),
                          QPointF(m_body.right(), y - m_line * 0.2));
    if (painter) {
        QGlyphRun unused;
        for (size_t c = 0; c < m_left.size(); ++c)
            m_bold->layout(m_layout.columns.at(qsizetype(c)).label, m_left[c], m_width[c],
                           m_layout.columns.at(qsizetype(c)).align, unused, m_glyphs, m_positions);
        flush(painter, *m_bold, y + m_bold->ascent());
    }
    y += m_line * 1.3;
    if (painter)
        painter->drawLine(QPointF(m_body.left(), y - m_line * 0.2),
                          QPointF(m_body.right(), y - m_line * 0.2));
    m_y = y;
    if (!m_state.openGroup.isEmpty() && firstBand != Band::GroupHeader &&
        firstBand != Band::Summary) {
        drawText(painter, *m_bold, m_state.openGroup + QStringLiteral(" (continuação)"),
                 m_body.left() + padding, m_body.width(), Align::Left,
                 m_y + m_line * 0.3 + m_bold->ascent());
        m_y += height(Band::GroupHeader);
    }
}

void ReportPainter::place(QPainter *painter, const Band &band)
{
    const double top = m_y;
    switch (band.kind) {
    case Band::Detail:
        drawRow(painter, *m_regular, band.values, top + m_regular->ascent());
        break;
    case Band::GroupHeader:
        m_state.openGroup = band.text;
        drawText(painter, *m_bold, band.text, m_body.left() + padding, m_body.width(), Align::Left,
                 top + m_line * 0.3 + m_bold->ascent());
        break;
    case Band::GroupFooter:
    case Band::Summary: {
        m_state.openGroup.clear();
        const double rule = top + m_line * 0.15;
        if (painter) {
            QPen pen = painter->pen();
            pen.setWidthF((band.kind == Band::Summary ? 0.8 : 0.4) * U);
            painter->setPen(pen);
            painter->drawLine(QPointF(m_body.left(), rule), QPointF(m_body.right(), rule));
        }
        const double baseline = top + m_line * 0.3 + m_bold->ascent();
        // The label takes the room left of the first total.
        double labelWidth = m_body.width();
        for (qsizetype i = 0; i < band.values.size(); ++i)
            if (!band.values.at(i).isNull()) {
                labelWidth = m_left[size_t(i)] - m_body.left() - 2 * padding;
                break;
            }
        drawText(painter, *m_bold, band.text, m_body.left() + padding, labelWidth, Align::Left,
                 baseline);
        drawRow(painter, *m_bold, band.values, baseline);
        break;
    }
    case Band::Empty:
        drawText(painter, *m_regular, band.text, m_body.left() + padding, m_body.width(),
                 Align::Left, top + m_line * 0.5 + m_regular->ascent());
        break;
    }
    m_y = top + height(band.kind);
}

} // namespace Velmora::Reports
