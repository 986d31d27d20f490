#pragma once

#include "PageSurface.h"

#include <QDateTime>
#include <QHash>
#include <QSizeF>
#include <QString>

#include <cairo.h>
#include <vector>

namespace Velmora::Reports {

class OutputFile;

// The pages of a saved PDF, written as they are drawn into file. Text goes out as one string
// of glyphs per run, not one operator per glyph, and the faces are embedded as subsets of the
// glyphs used. The document information says title, creator and date; FinishPdfArchive adds
// what an archived file wants besides. Raises Exception when a face cannot be embedded or
// the writer fails; failures to write the file are raised by file.
class PdfSurface : public PageSurface
{
public:
    PdfSurface(OutputFile &file, const QSizeF &pagePoints, const QString &title,
               const QDateTime &created);
    ~PdfSurface() override;
    PdfSurface(const PdfSurface &) = delete;
    PdfSurface &operator=(const PdfSurface &) = delete;

    void drawGlyphs(GlyphFont &font, const QList<quint32> &glyphs, const QList<QPointF> &positions,
                    double baseline) override;
    void drawLine(const QPointF &from, const QPointF &to, double width) override;
    // Ends the page drawn so far.
    void endPage();
    // Ends the file.
    void finish();

private:
    static cairo_status_t writeTo(void *closure, const unsigned char *data, unsigned int length);
    cairo_scaled_font_t *scaledFont(GlyphFont &font);
    void check() const;
    void put(const unsigned char *data, unsigned int length);

    OutputFile &m_file;
    cairo_surface_t *m_surface = nullptr;
    cairo_t *m_cr = nullptr;
    QHash<const GlyphFont *, cairo_scaled_font_t *> m_fonts;
    cairo_scaled_font_t *m_current = nullptr;
    std::vector<cairo_glyph_t> m_glyphs;
    QByteArray m_pending; // the writer's output not yet passed on, see put()
    bool m_finished = false;
};

} // namespace Velmora::Reports
