#include "ReportPainter.h"

#include "PageSurface.h"

#include <QDateTime>

#include <cmath>

namespace Velmora::Reports {

namespace {
constexpr double U = ReportPainter::UnitsPerPoint;
constexpr double pointsPerMm = 72.0 / 25.4;
constexpr double unitsPerMm = pointsPerMm * U;
const QString family = QStringLiteral("DejaVu Sans");
constexpr double padding = 1.5 * U;
const QString ellipsis = QStringLiteral("…");
} // namespace

PageContext PageContext::issuedNow(const ReportLayout &layout, const QString &reportCode)
{
    PageContext context;
    context.title = layout.title;
    context.reportCode = reportCode;
    context.issued =
        QStringLiteral("Emitido em %1")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("dd/MM/yyyy hh:mm")));
    return context;
}

ReportPainter::ReportPainter(const ReportLayout &layout, const PageContext &context)
    : m_layout(layout), m_context(context), m_summary(SummaryLine(context.heading))
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
    m_bottom = m_body.bottom() - m_line * 1.6;

    // The columns take the whole width between the margins, in their widths' proportions.
    double proportions = 0;
    for (const Column &c : layout.columns)
        proportions += c.width;
    const double scale = proportions > 0 ? m_body.width() / proportions : unitsPerMm;
    double x = m_body.left();
    const QLocale locale = ReportLocale();
    for (const Column &c : layout.columns) {
        m_left.push_back(x + padding);
        m_width.push_back(c.width * scale - 2 * padding);
        x += c.width * scale;
        m_formats.emplace_back(c.type, c.format, locale);
    }
    m_tableWidth = x - m_body.left();
    for (const HeadingLine &line : context.heading)
        m_captionWidth =
            qMax(m_captionWidth, m_bold->advance(line.caption + QLatin1Char(':')) + 2 * padding);
}

void ReportPainter::format(const Band &band, PageBand &out) const
{
    out.kind = band.kind;
    out.text = band.text;
    const qsizetype n = qMin(band.values.size(), qsizetype(m_formats.size()));
    out.cells.resize(n);
    for (qsizetype i = 0; i < n; ++i) {
        const QVariant &v = band.values.at(i);
        out.cells[i] = v.isNull() ? QString() : m_formats[size_t(i)].text(v);
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

bool ReportPainter::breaksBefore(double needed) const
{
    return m_state.rows && m_y + needed > m_bottom + 0.01;
}

void ReportPainter::flush(PageSurface *surface, GlyphFont &font, double baseline)
{
    if (surface && !m_glyphs.isEmpty()) {
        surface->drawGlyphs(font, m_glyphs, m_positions, std::round(baseline));
    }
    m_glyphs.clear();
    m_positions.clear();
}

void ReportPainter::drawText(PageSurface *surface, GlyphFont &font, const QString &text,
                             double left, double width, Align align, double baseline)
{
    if (!surface)
        return;
    QGlyphRun unused;
    font.layout(text, left, width, align, unused, m_glyphs, m_positions);
    flush(surface, font, baseline);
}

void ReportPainter::drawRow(PageSurface *surface, GlyphFont &font, const QStringList &cells,
                            double baseline)
{
    if (!surface)
        return;
    QGlyphRun unused;
    for (qsizetype i = 0; i < cells.size() && i < qsizetype(m_left.size()); ++i) {
        if (cells.at(i).isEmpty())
            continue;
        const size_t c = static_cast<size_t>(i);
        font.layout(cells.at(i), m_left[c], m_width[c], m_layout.columns.at(i).align, unused,
                    m_glyphs, m_positions);
    }
    flush(surface, font, baseline);
}

void ReportPainter::drawRule(PageSurface *surface, double y, double width) const
{
    if (!surface)
        return;
    surface->drawLine(QPointF(m_body.left(), y), QPointF(m_body.left() + m_tableWidth, y),
                      width * U);
}

QString ReportPainter::elided(GlyphFont &font, const QString &text, double width) const
{
    if (font.advance(text) <= width)
        return text;
    const double room = width - font.advance(ellipsis);
    double used = 0;
    qsizetype fit = 0;
    while (fit < text.size() && (used += font.advance(text.mid(fit, 1))) <= room)
        ++fit;
    return text.left(fit) + ellipsis;
}

void ReportPainter::drawFooter(PageSurface *surface)
{
    if (!surface)
        return;
    const double rule = m_bottom + m_line * 0.3;
    drawRule(surface, rule, 0.4);
    const double baseline = rule + m_line * 0.3 + m_regular->ascent();
    const double half = m_tableWidth / 2;
    drawText(surface, *m_regular, m_context.issued, m_body.left(), half, Align::Left, baseline);
    const QString page = m_pageCount > 0
                             ? QStringLiteral("Página %1 de %2").arg(m_state.page).arg(m_pageCount)
                             : QStringLiteral("Página %1").arg(m_state.page);
    drawText(surface, *m_regular, page, m_body.left() + half, half, Align::Right, baseline);
}

void ReportPainter::beginPage(PageSurface *surface, Band::Kind firstBand)
{
    ++m_state.page;
    m_state.rows = false;
    double y = m_body.top();
    const double titleLine = (m_layout.page.fontSize + 5) * U * 1.5;
    const double third = m_tableWidth / 3;
    drawText(surface, *m_title, m_context.title, m_body.left(), 2 * third, Align::Left,
             y + m_title->ascent());
    drawText(surface, *m_regular, m_context.reportCode, m_body.left() + 2 * third, third,
             Align::Right, y + m_title->ascent());
    y += titleLine;
    const double textLeft = m_body.left() + padding;
    const double textWidth = m_tableWidth - 2 * padding;
    if (m_state.page == 1) {
        for (const HeadingLine &line : m_context.heading) {
            const double baseline = y + m_regular->ascent();
            drawText(surface, *m_bold, line.caption + QLatin1Char(':'), textLeft, m_captionWidth,
                     Align::Left, baseline);
            if (surface)
                drawText(
                    surface, *m_regular, elided(*m_regular, line.text, textWidth - m_captionWidth),
                    textLeft + m_captionWidth, textWidth - m_captionWidth, Align::Left, baseline);
            y += m_line;
        }
    } else if (!m_summary.isEmpty()) {
        if (surface)
            drawText(surface, *m_regular, elided(*m_regular, m_summary, textWidth), textLeft,
                     textWidth, Align::Left, y + m_regular->ascent());
        y += m_line;
    }
    y += m_line * 0.3;
    drawRule(surface, y - m_line * 0.2, 0.5);
    if (surface) {
        QGlyphRun unused;
        for (size_t c = 0; c < m_left.size(); ++c)
            m_bold->layout(m_layout.columns.at(qsizetype(c)).label, m_left[c], m_width[c],
                           m_layout.columns.at(qsizetype(c)).align, unused, m_glyphs, m_positions);
        flush(surface, *m_bold, y + m_bold->ascent());
    }
    y += m_line * 1.3;
    drawRule(surface, y - m_line * 0.2, 0.5);
    m_y = y;
    drawFooter(surface);
    // A group carried over is named again only above its own rows.
    if (!m_state.openGroup.isEmpty() && firstBand == Band::Detail) {
        drawText(surface, *m_bold, m_state.openGroup + QStringLiteral(" (continuação)"), textLeft,
                 textWidth, Align::Left, m_y + m_line * 0.3 + m_bold->ascent());
        m_y += height(Band::GroupHeader);
    }
}

void ReportPainter::place(PageSurface *surface, const PageBand &band)
{
    const double top = m_y;
    m_state.rows = true;
    switch (band.kind) {
    case Band::Detail:
        drawRow(surface, *m_regular, band.cells, top + m_regular->ascent());
        break;
    case Band::GroupHeader:
        m_state.openGroup = band.text;
        drawText(surface, *m_bold, band.text, m_body.left() + padding, m_tableWidth - 2 * padding,
                 Align::Left, top + m_line * 0.3 + m_bold->ascent());
        break;
    case Band::GroupFooter:
    case Band::Summary: {
        m_state.openGroup.clear();
        drawRule(surface, top + m_line * 0.15, band.kind == Band::Summary ? 0.8 : 0.4);
        const double baseline = top + m_line * 0.3 + m_bold->ascent();
        // The label takes the room left of the first total.
        double labelWidth = m_tableWidth - 2 * padding;
        for (qsizetype i = 0; i < band.cells.size(); ++i)
            if (!band.cells.at(i).isEmpty()) {
                labelWidth = m_left[size_t(i)] - m_body.left() - 2 * padding;
                break;
            }
        drawText(surface, *m_bold, band.text, m_body.left() + padding, labelWidth, Align::Left,
                 baseline);
        drawRow(surface, *m_bold, band.cells, baseline);
        break;
    }
    case Band::Empty:
        drawText(surface, *m_regular, band.text, m_body.left() + padding,
                 m_tableWidth - 2 * padding, Align::Left, top + m_line * 0.5 + m_regular->ascent());
        break;
    }
    m_y = top + height(band.kind);
}

} // namespace Velmora::Reports
