#pragma once

#include "PageSurface.h"

#include <QDateTime>
#include <QHash>
#include <QIODevice>
#include <QSizeF>
#include <QString>

#include <memory>

struct _cairo;
struct _cairo_surface;
struct _cairo_scaled_font;

namespace Velmora::Reports {

class OutputFile;

// Passes bytes on to a device with every occurrence of a pattern blanked to as many spaces,
// wherever the writes cut it: the offsets a PDF writer counted stay true.
class VELMORA_REPORTS_EXPORT BlankingFilter
{
public:
    BlankingFilter(QIODevice &out, const QByteArray &pattern);
    void write(const char *data, qsizetype size);
    // Passes on the tail held back in case it began the pattern.
    void finish();

private:
    QIODevice &m_out;
    QByteArray m_pattern;
    QByteArray m_pending;
};

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

    // The writer's output, as its write callback hands it over.
    void put(const unsigned char *data, unsigned int length);

private:
    struct Glyphs;
    _cairo_scaled_font *scaledFont(GlyphFont &font);
    void check() const;

    _cairo_surface *m_surface = nullptr;
    _cairo *m_cr = nullptr;
    QHash<const GlyphFont *, _cairo_scaled_font *> m_fonts;
    _cairo_scaled_font *m_current = nullptr;
    std::unique_ptr<Glyphs> m_glyphs;
    BlankingFilter m_output;
    bool m_finished = false;
};

} // namespace Velmora::Reports
