#include "GlyphFont.h"

#include <QFontDatabase>

#include <cmath>

namespace Velmora::Reports {

namespace {
// A newline or tab inside a name has no glyph: it is drawn as the space it stands for.
char16_t shown(char16_t ch)
{
    return ch < 0x20 || (ch >= 0x7f && ch < 0xa0) ? u' ' : ch;
}
} // namespace

GlyphFont::GlyphFont(const QString &family, double pointSize, bool bold)
{
    QFont font(family);
    font.setBold(bold);
    font.setPixelSize(qMax(1, qRound(pointSize)));
    m_raw = QRawFont::fromFont(font);
    if (!m_raw.isValid())
        m_raw = QRawFont::fromFont(QFontDatabase::systemFont(QFontDatabase::GeneralFont));
    m_raw.setPixelSize(pointSize);
}

const GlyphFont::Glyph &GlyphFont::glyph(char16_t ch)
{
    ch = shown(ch);
    Glyph *g = ch < m_latin.size() ? &m_latin[ch] : &m_other[ch];
    if (g->advance < 0) {
        const QChar c(ch);
        quint32 index = 0;
        int count = 1;
        if (!m_raw.glyphIndexesForChars(&c, 1, &index, &count) || count != 1)
            index = 0;
        QPointF adv;
        m_raw.advancesForGlyphIndexes(&index, &adv, 1, QRawFont::UseDesignMetrics);
        g->index = index;
        g->advance = static_cast<float>(adv.x());
    }
    return *g;
}

double GlyphFont::advance(const QString &text)
{
    double w = 0;
    for (const QChar c : text)
        w += glyph(c.unicode()).advance;
    return w;
}

void GlyphFont::layout(const QString &text, double left, double width, Align align, QGlyphRun &,
                       QList<quint32> &glyphs, QList<QPointF> &positions)
{
    m_scratch.resize(text.size());
    double total = 0;
    qsizetype fit = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const double a = glyph(text.at(i).unicode()).advance;
        if (total + a > width + 0.01)
            break;
        m_scratch[i] = a;
        total += a;
        fit = i + 1;
    }
    double x = left;
    if (align == Align::Right)
        x = left + width - total;
    else if (align == Align::Center)
        x = left + (width - total) / 2;
    for (qsizetype i = 0; i < fit; ++i) {
        const char16_t ch = shown(text.at(i).unicode());
        if (ch != u' ') {
            glyphs.append(glyph(ch).index);
            positions.append(QPointF(x, 0));
        }
        x += m_scratch.at(i);
    }
}

} // namespace Velmora::Reports
