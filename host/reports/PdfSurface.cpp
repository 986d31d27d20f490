#include "PdfSurface.h"

#include "GlyphFont.h"
#include "OutputFile.h"
#include "ReportPainter.h"
#include "rtl/Exceptions.h"

#include <cairo-ft.h>
#include <cairo-pdf.h>
#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H
#include FT_TRUETYPE_TAGS_H

#include <vector>

namespace Velmora::Reports {

namespace {

// Every page dictionary of the writer declares a transparency group, which archived PDF
// forbids; the reports draw nothing transparent. The declaration is blanked where it stands,
// so that no offset of the file moves.
const QByteArray pageGroup = QByteArrayLiteral("   /Group <<\n"
                                               "      /Type /Group\n"
                                               "      /S /Transparency\n"
                                               "      /I true\n"
                                               "      /CS /DeviceRGB\n"
                                               "   >>\n");

// The face fontconfig serves for the raw font's family, weight and slant: the one the painter
// measured with, which the check of its header table confirms.
cairo_font_face_t *faceOf(const QRawFont &raw)
{
    FcPattern *pattern = FcPatternCreate();
    const QByteArray family = raw.familyName().toUtf8();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8 *>(family.constData()));
    FcPatternAddInteger(pattern, FC_WEIGHT,
                        raw.weight() >= QFont::Bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT,
                        raw.style() == QFont::StyleNormal ? FC_SLANT_ROMAN : FC_SLANT_ITALIC);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern *match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match)
        return nullptr;
    cairo_font_face_t *face = cairo_ft_font_face_create_for_pattern(match);
    FcPatternDestroy(match);
    return face;
}

bool sameFace(cairo_scaled_font_t *scaled, const QRawFont &raw)
{
    FT_Face face = cairo_ft_scaled_font_lock_face(scaled);
    if (!face)
        return false;
    FT_ULong length = 0;
    QByteArray head;
    if (FT_Load_Sfnt_Table(face, TTAG_head, 0, nullptr, &length) == 0) {
        head.resize(qsizetype(length));
        FT_Load_Sfnt_Table(face, TTAG_head, 0, reinterpret_cast<FT_Byte *>(head.data()), &length);
    }
    cairo_ft_scaled_font_unlock_face(scaled);
    return !head.isEmpty() && head == raw.fontTable("head");
}

cairo_status_t writeTo(void *closure, const unsigned char *data, unsigned int length)
{
    static_cast<PdfSurface *>(closure)->put(data, length);
    return CAIRO_STATUS_SUCCESS;
}

} // namespace

struct PdfSurface::Glyphs
{
    std::vector<cairo_glyph_t> run;
};

PdfSurface::PdfSurface(OutputFile &file, const QSizeF &pagePoints, const QString &title,
                       const QDateTime &created)
    : m_glyphs(std::make_unique<Glyphs>()), m_output(file, pageGroup)
{
    m_surface =
        cairo_pdf_surface_create_for_stream(writeTo, this, pagePoints.width(), pagePoints.height());
    cairo_pdf_surface_restrict_to_version(m_surface, CAIRO_PDF_VERSION_1_4);
    cairo_pdf_surface_set_metadata(m_surface, CAIRO_PDF_METADATA_TITLE, title.toUtf8().constData());
    cairo_pdf_surface_set_metadata(m_surface, CAIRO_PDF_METADATA_CREATOR, "Velmora");
    cairo_pdf_surface_set_metadata(m_surface, CAIRO_PDF_METADATA_CREATE_DATE,
                                   created.toOffsetFromUtc(created.offsetFromUtc())
                                       .toString(Qt::ISODate)
                                       .toUtf8()
                                       .constData());
    m_cr = cairo_create(m_surface);
    cairo_scale(m_cr, 1 / ReportPainter::UnitsPerPoint, 1 / ReportPainter::UnitsPerPoint);
    cairo_set_source_rgb(m_cr, 0, 0, 0);
    cairo_set_line_cap(m_cr, CAIRO_LINE_CAP_SQUARE);
    check();
}

PdfSurface::~PdfSurface()
{
    for (cairo_scaled_font_t *f : std::as_const(m_fonts))
        cairo_scaled_font_destroy(f);
    cairo_destroy(m_cr);
    // Whatever the writer still holds is let go without being written: a file not finished
    // is removed by its OutputFile.
    m_finished = true;
    cairo_surface_destroy(m_surface);
}

void PdfSurface::check() const
{
    cairo_status_t status = cairo_surface_status(m_surface);
    if (status == CAIRO_STATUS_SUCCESS && m_cr)
        status = cairo_status(m_cr);
    if (status != CAIRO_STATUS_SUCCESS)
        throw Exception(QStringLiteral("Não foi possível gerar o PDF do relatório: %1.")
                            .arg(QString::fromUtf8(cairo_status_to_string(status))));
}

void PdfSurface::put(const unsigned char *data, unsigned int length)
{
    if (!m_finished)
        m_output.write(reinterpret_cast<const char *>(data), qsizetype(length));
}

BlankingFilter::BlankingFilter(QIODevice &out, const QByteArray &pattern)
    : m_out(out), m_pattern(pattern)
{}

void BlankingFilter::write(const char *data, qsizetype size)
{
    m_pending.append(data, size);
    for (qsizetype at = m_pending.indexOf(m_pattern); at >= 0;
         at = m_pending.indexOf(m_pattern, at))
        std::fill_n(m_pending.begin() + at, m_pattern.size(), ' ');
    const qsizetype keep = qMin(m_pending.size(), m_pattern.size() - 1);
    m_out.write(m_pending.constData(), m_pending.size() - keep);
    m_pending.remove(0, m_pending.size() - keep);
}

void BlankingFilter::finish()
{
    m_out.write(m_pending);
    m_pending.clear();
}

cairo_scaled_font_t *PdfSurface::scaledFont(GlyphFont &font)
{
    if (cairo_scaled_font_t *known = m_fonts.value(&font))
        return known;
    cairo_font_face_t *face = faceOf(font.raw());
    cairo_scaled_font_t *scaled = nullptr;
    if (face) {
        cairo_matrix_t size, ctm;
        cairo_matrix_init_scale(&size, font.raw().pixelSize(), font.raw().pixelSize());
        cairo_get_matrix(m_cr, &ctm);
        cairo_font_options_t *options = cairo_font_options_create();
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
        cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
        scaled = cairo_scaled_font_create(face, &size, &ctm, options);
        cairo_font_options_destroy(options);
        cairo_font_face_destroy(face);
        if (cairo_scaled_font_status(scaled) != CAIRO_STATUS_SUCCESS ||
            !sameFace(scaled, font.raw())) {
            cairo_scaled_font_destroy(scaled);
            scaled = nullptr;
        }
    }
    if (!scaled)
        throw Exception(QStringLiteral("A fonte %1 do relatório não pôde ser embutida no PDF.")
                            .arg(font.raw().familyName()));
    m_fonts.insert(&font, scaled);
    return scaled;
}

void PdfSurface::drawGlyphs(GlyphFont &font, const QList<quint32> &glyphs,
                            const QList<QPointF> &positions, double baseline)
{
    cairo_scaled_font_t *scaled = scaledFont(font);
    if (scaled != m_current) {
        cairo_set_scaled_font(m_cr, scaled);
        m_current = scaled;
    }
    std::vector<cairo_glyph_t> &run = m_glyphs->run;
    run.resize(size_t(glyphs.size()));
    for (qsizetype i = 0; i < glyphs.size(); ++i)
        run[size_t(i)] = {glyphs.at(i), positions.at(i).x(), baseline + positions.at(i).y()};
    cairo_show_glyphs(m_cr, run.data(), int(run.size()));
}

void PdfSurface::drawLine(const QPointF &from, const QPointF &to, double width)
{
    cairo_set_line_width(m_cr, width);
    cairo_move_to(m_cr, from.x(), from.y());
    cairo_line_to(m_cr, to.x(), to.y());
    cairo_stroke(m_cr);
}

void PdfSurface::endPage()
{
    cairo_show_page(m_cr);
    check();
}

void PdfSurface::finish()
{
    cairo_surface_finish(m_surface);
    check();
    m_output.finish();
    m_finished = true;
}

} // namespace Velmora::Reports
