#pragma once

#include "ReportLayout.h"
#include "reports_global.h"

#include <QFont>
#include <QGlyphRun>
#include <QList>
#include <QPointF>
#include <QRawFont>
#include <QString>

#include <array>

namespace Velmora::Reports {

// A face at one size that turns texts into positioned glyphs without shaping them again:
// each character's glyph and advance are looked up once and kept, so a row's cells become
// one glyph run drawn with a single call.
class VELMORA_REPORTS_EXPORT GlyphFont
{
public:
    // pointSize is in the units the report paints in. Advances are the face's own, unhinted:
    // glyphs sit where a PDF writer expects them after the one before, so a run of text needs
    // no position of its own per glyph.
    GlyphFont(const QString &family, double pointSize, bool bold);

    // Appends text's glyphs, aligned within [left, left + width] on the run's baseline; what
    // does not fit is cut at a glyph boundary.
    void layout(const QString &text, double left, double width, Align align, QGlyphRun &run,
                QList<quint32> &glyphs, QList<QPointF> &positions);
    double advance(const QString &text);
    double ascent() const { return m_raw.ascent(); }
    const QRawFont &raw() const { return m_raw; }

private:
    struct Glyph
    {
        quint32 index = 0;
        float advance = -1; // not looked up yet
    };
    const Glyph &glyph(char16_t ch);

    QRawFont m_raw;
    std::array<Glyph, 0x250> m_latin{};
    QHash<char16_t, Glyph> m_other;
    QList<double> m_scratch; // advances of the text being laid out
};

} // namespace Velmora::Reports
