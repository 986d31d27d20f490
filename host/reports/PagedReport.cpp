#include "PagedReport.h"

#include "PageSurface.h"
#include "rtl/Exceptions.h"

#include <QPainter>
#include <QThread>

#include <cstring>

namespace Velmora::Reports {

namespace {

constexpr qsizetype spoolChunk = 1 << 20;

// Spooled texts: a length word whose low bit says Latin-1 (one byte a character, nearly
// every text of a fiscal report) or UTF-16, then the characters.
void putText(QByteArray &out, const QString &text)
{
    bool latin1 = true;
    for (const QChar c : text)
        if (c.unicode() > 0xff) {
            latin1 = false;
            break;
        }
    const quint32 head = quint32(text.size()) << 1 | (latin1 ? 1u : 0u);
    out.append(reinterpret_cast<const char *>(&head), sizeof head);
    if (latin1) {
        const qsizetype at = out.size();
        out.resize(at + text.size());
        char *p = out.data() + at;
        for (const QChar c : text)
            *p++ = char(c.unicode());
    } else {
        out.append(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
    }
}

class SpoolReader
{
public:
    explicit SpoolReader(const QByteArray &bytes)
        : m_p(bytes.constData()), m_end(m_p + bytes.size())
    {}
    bool atEnd() const { return m_p >= m_end; }
    template <class T> T get()
    {
        T v{};
        if (m_end - m_p < qsizetype(sizeof v))
            throw Exception(QStringLiteral("O arquivo temporário do relatório está corrompido."));
        std::memcpy(&v, m_p, sizeof v);
        m_p += sizeof v;
        return v;
    }
    QString text()
    {
        const quint32 head = get<quint32>();
        const qsizetype n = qsizetype(head >> 1);
        const qsizetype bytes = head & 1 ? n : 2 * n;
        if (m_end - m_p < bytes)
            throw Exception(QStringLiteral("O arquivo temporário do relatório está corrompido."));
        const char *at = m_p;
        m_p += bytes;
        if (head & 1)
            return QString::fromLatin1(at, n);
        QString s(n, Qt::Uninitialized);
        std::memcpy(s.data(), at, size_t(bytes));
        return s;
    }

private:
    const char *m_p;
    const char *m_end;
};

} // namespace

PagedReport::PagedReport(std::unique_ptr<ReportSource> source, const PageContext &context)
    : PagedReport(*source, context)
{
    m_owned = std::move(source);
}

PagedReport::PagedReport(ReportSource &source, const PageContext &context)
    : m_layout(source.layout()), m_context(context), m_source(&source),
      m_progress(source.progress()), m_runs([this](Band &band) { return m_source->next(band); }),
      m_measure(source.layout(), context)
{
    if (!m_spool.open())
        throw Exception(QStringLiteral("Não foi possível criar o arquivo temporário do "
                                       "relatório: %1.")
                            .arg(m_spool.errorString()));
    m_reader.setFileName(m_spool.fileName());
    if (!m_reader.open(QIODevice::ReadOnly))
        throw Exception(QStringLiteral("Não foi possível ler o arquivo temporário do relatório."));
    m_buffer.reserve(spoolChunk + 4096);
}

PagedReport::~PagedReport() = default;

void PagedReport::write(const PageBand &band)
{
    m_buffer.append(char(band.kind));
    putText(m_buffer, band.text);
    const quint16 cells = quint16(band.cells.size());
    m_buffer.append(reinterpret_cast<const char *>(&cells), sizeof cells);
    for (const QString &cell : band.cells)
        putText(m_buffer, cell);
    if (m_buffer.size() >= spoolChunk)
        flushSpool();
}

void PagedReport::flushSpool()
{
    if (m_buffer.isEmpty())
        return;
    if (m_spool.write(m_buffer) != m_buffer.size() || !m_spool.flush())
        throw Exception(QStringLiteral("Não foi possível gravar o arquivo temporário do "
                                       "relatório (disco cheio?)."));
    const QMutexLocker lock(&m_lock);
    m_written += m_buffer.size();
    m_buffer.clear();
}

void PagedReport::finish()
{
    const QMutexLocker lock(&m_lock);
    m_finished = true;
    m_rows = m_source->rows();
    m_measure.setPageCount(int(m_pages.size()));
}

bool PagedReport::pump(int maxBands)
{
    if (finished())
        return false;
    bool more = true;
    for (int read = 0; read < maxBands;) {
        if (!m_runs.next(m_run)) {
            more = false;
            break;
        }
        double needed = 0;
        for (const Band &band : m_run)
            needed += m_measure.height(band.kind);
        for (size_t i = 0; i < m_run.size(); ++i) {
            const Band &band = m_run[i];
            // The run goes whole to the next page; only a run taller than a page breaks
            // inside.
            const bool breaks =
                m_pages.isEmpty() ||
                m_measure.breaksBefore(i == 0 ? needed : m_measure.height(band.kind));
            if (breaks) {
                {
                    const QMutexLocker lock(&m_lock);
                    m_pages.append({m_written + m_buffer.size(), m_measure.state(), band.kind});
                }
                m_measure.beginPage(nullptr, band.kind);
                if (m_progress)
                    m_progress->pages.store(int(m_pages.size()), std::memory_order_relaxed);
            }
            m_measure.format(band, m_band);
            m_measure.place(nullptr, m_band);
            write(m_band);
        }
        read += int(m_run.size());
    }
    flushSpool();
    if (!more) {
        finish();
        m_source = nullptr;
        m_owned.reset(); // the query is done; let the connection go
    }
    return more;
}

void PagedReport::stop()
{
    {
        const QMutexLocker lock(&m_lock);
        if (m_finished)
            return;
        m_rows = m_source ? m_source->rows() : 0;
        // Only the pages already whole are kept.
        int begun = int(m_pages.size());
        while (begun > 0 && m_pages.at(begun - 1).offset > m_written)
            --begun;
        m_pages.resize(qMax(0, begun - 1));
        m_finished = true;
        m_stopped = true;
    }
    m_source = nullptr;
    m_owned.reset();
}

bool PagedReport::stopped() const
{
    const QMutexLocker lock(&m_lock);
    return m_stopped;
}

bool PagedReport::finished() const
{
    const QMutexLocker lock(&m_lock);
    return m_finished;
}

qint64 PagedReport::rows() const
{
    const QMutexLocker lock(&m_lock);
    if (m_finished)
        return m_rows;
    return m_progress ? m_progress->rows.load(std::memory_order_relaxed) : m_source->rows();
}

int PagedReport::pageCount() const
{
    const QMutexLocker lock(&m_lock);
    if (m_finished)
        return int(m_pages.size());
    // A page is complete once the next one has begun inside what is in the spool.
    int begun = int(m_pages.size());
    while (begun > 0 && m_pages.at(begun - 1).offset > m_written)
        --begun;
    return qMax(0, begun - 1);
}

template <class Each> void PagedReport::readPage(int index, Each each)
{
    PageStart start;
    qint64 end = 0;
    {
        const QMutexLocker lock(&m_lock);
        start = m_pages.at(index);
        end = index + 1 < m_pages.size() ? m_pages.at(index + 1).offset : m_written;
    }
    if (!m_reader.seek(start.offset))
        throw Exception(QStringLiteral("Não foi possível ler o arquivo temporário do relatório."));
    const QByteArray bytes = m_reader.read(end - start.offset);
    if (bytes.size() != end - start.offset)
        throw Exception(QStringLiteral("Não foi possível ler o arquivo temporário do relatório."));
    SpoolReader in(bytes);
    PageBand band;
    while (!in.atEnd()) {
        band.kind = static_cast<Band::Kind>(in.get<qint8>());
        band.text = in.text();
        const quint16 cells = in.get<quint16>();
        band.cells.resize(cells);
        for (quint16 i = 0; i < cells; ++i)
            band.cells[i] = in.text();
        each(start, band);
    }
}

void PagedReport::renderPage(int index, QPainter &painter)
{
    PainterSurface surface(painter);
    renderPage(index, surface);
}

void PagedReport::renderPage(int index, PageSurface &surface)
{
    if (index < 0 || index >= pageCount())
        return;
    if (!m_paint || m_paintThread != QThread::currentThread()) {
        m_paint = std::make_unique<ReportPainter>(m_layout, m_context);
        m_paintThread = QThread::currentThread();
    }
    {
        const QMutexLocker lock(&m_lock);
        m_paint->setPageCount(m_finished && !m_stopped ? int(m_pages.size()) : 0);
    }
    bool begun = false;
    readPage(index, [&](const PageStart &start, const PageBand &band) {
        if (!begun) {
            m_paint->restore(start.state);
            m_paint->beginPage(&surface, start.first);
            begun = true;
        }
        m_paint->place(&surface, band);
    });
}

int PagedReport::findText(const QString &text, int from, bool forward)
{
    const int count = pageCount();
    if (text.isEmpty())
        return -1;
    for (int page = from; page >= 0 && page < count; page += forward ? 1 : -1) {
        bool found = false;
        readPage(page, [&](const PageStart &, const PageBand &band) {
            found = found || band.text.contains(text, Qt::CaseInsensitive);
            for (const QString &cell : band.cells)
                found = found || cell.contains(text, Qt::CaseInsensitive);
        });
        if (found)
            return page;
    }
    return -1;
}

} // namespace Velmora::Reports
