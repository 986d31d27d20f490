#include "PreviewDocument.h"

#include "rtl/Exceptions.h"

#include <QPainter>

namespace Velmora::Reports {

PreviewDocument::PreviewDocument(std::unique_ptr<ReportSource> source, const PageContext &context)
    : m_source(std::move(source)), m_measure(m_source->layout(), context),
      m_paint(m_source->layout(), context)
{
    if (!m_spool.open())
        throw Exception(QStringLiteral("Não foi possível criar o arquivo temporário da "
                                       "visualização: %1.")
                            .arg(m_spool.errorString()));
    m_out.setDevice(&m_spool);
    m_reader.setFileName(m_spool.fileName());
    if (!m_reader.open(QIODevice::ReadOnly))
        throw Exception(
            QStringLiteral("Não foi possível ler o arquivo temporário da visualização."));
}

PreviewDocument::~PreviewDocument() = default;

bool PreviewDocument::pump(int maxBands)
{
    if (m_finished)
        return false;
    Band band;
    for (int i = 0; i < maxBands; ++i) {
        if (!m_source->next(band)) {
            m_finished = true;
            m_rows = m_source->rows();
            m_source.reset(); // the query is done; let the connection go
            break;
        }
        const bool first = m_pages.isEmpty();
        if (first || m_measure.breaksBefore(band)) {
            m_pages.append({m_spool.pos(), m_measure.state(), band.kind});
            m_measure.beginPage(nullptr, band.kind);
        }
        m_measure.place(nullptr, band);
        m_out << qint8(band.kind) << band.text << band.values;
    }
    m_spool.flush();
    if (m_out.status() != QDataStream::Ok)
        throw Exception(QStringLiteral("Não foi possível gravar o arquivo temporário da "
                                       "visualização (disco cheio?)."));
    return !m_finished;
}

int PreviewDocument::pageCount() const
{
    const int begun = static_cast<int>(m_pages.size());
    return m_finished ? begun : qMax(0, begun - 1);
}

bool PreviewDocument::readBand(QDataStream &in, Band &band) const
{
    if (in.atEnd())
        return false;
    qint8 kind = 0;
    in >> kind >> band.text >> band.values;
    band.kind = static_cast<Band::Kind>(kind);
    return in.status() == QDataStream::Ok;
}

void PreviewDocument::renderPage(int index, QPainter &painter)
{
    if (index < 0 || index >= pageCount())
        return;
    const PageStart &start = m_pages.at(index);
    const qint64 end = index + 1 < m_pages.size() ? m_pages.at(index + 1).offset : m_spool.pos();
    m_reader.seek(start.offset);
    QDataStream in(&m_reader);
    painter.save();
    painter.scale(1 / ReportPainter::UnitsPerPoint, 1 / ReportPainter::UnitsPerPoint);
    m_paint.restore(start.state);
    m_paint.beginPage(&painter, start.first);
    Band band;
    while (m_reader.pos() < end && readBand(in, band))
        m_paint.place(&painter, band);
    painter.restore();
}

} // namespace Velmora::Reports
