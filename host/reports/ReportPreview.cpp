#include "ReportPreview.h"

#include "ReportRun.h"
#include "SavedFileNotice.h"

#include "framework/Dispatch.h"
#include "framework/Glyphs.h"
#include "framework/Services.h"
#include "rtl/Exceptions.h"

#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPrinter>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace Velmora::Reports {

namespace {
constexpr double fitWidthZoom = -1, fitPageZoom = -2;
}

ReportPreview::ReportPreview(std::shared_ptr<PagedReport> document, const QString &title)
    : QWidget(nullptr, Qt::Window), m_document(std::move(document)), m_title(title),
      m_timer(new QTimer(this))
{
    setObjectName(QStringLiteral("frmVisualizacao"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Visualização - %1").arg(title));
    auto *bar = new QHBoxLayout;
    auto button = [&](const QString &name, const QString &text, const QString &tip) {
        auto *b = new QToolButton(this);
        b->setObjectName(name);
        b->setText(text);
        b->setToolTip(tip);
        b->setFocusPolicy(Qt::NoFocus);
        bar->addWidget(b);
        return b;
    };
    m_print = button(QStringLiteral("btnImprimir"), QStringLiteral("Imprimir"),
                     QStringLiteral("Imprimir o relatório"));
    m_save = button(QStringLiteral("btnSalvarComo"), QStringLiteral("Salvar como"),
                    QStringLiteral("Salvar o relatório em PDF, CSV, XLSX ou HTML"));
    for (const auto &[b, picture] :
         {std::pair{m_print, QStringLiteral("print")}, std::pair{m_save, QStringLiteral("save")}}) {
        b->setIcon(Glyphs::Icon(picture));
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    }
    bar->addSpacing(12);
    m_first = button(QStringLiteral("btnPrimeira"), QStringLiteral("|<"),
                     QStringLiteral("Primeira página (Ctrl+Home)"));
    m_prior = button(QStringLiteral("btnAnterior"), QStringLiteral("<"),
                     QStringLiteral("Página anterior (PgUp)"));
    m_pageLabel = new QLabel(this);
    m_pageLabel->setObjectName(QStringLiteral("lblPagina"));
    bar->addWidget(m_pageLabel);
    m_next = button(QStringLiteral("btnProxima"), QStringLiteral(">"),
                    QStringLiteral("Próxima página (PgDn)"));
    m_last = button(QStringLiteral("btnUltima"), QStringLiteral(">|"),
                    QStringLiteral("Última página (Ctrl+End)"));
    bar->addSpacing(12);
    m_findText = new QLineEdit(this);
    m_findText->setObjectName(QStringLiteral("edtLocalizar"));
    m_findText->setPlaceholderText(QStringLiteral("Localizar"));
    m_findText->setClearButtonEnabled(true);
    bar->addWidget(m_findText);
    QToolButton *findPrior = button(QStringLiteral("btnLocalizarAnterior"), QStringLiteral("↑"),
                                    QStringLiteral("Localizar a anterior (Shift+F3)"));
    QToolButton *findNext = button(QStringLiteral("btnLocalizarProxima"), QStringLiteral("↓"),
                                   QStringLiteral("Localizar a próxima (F3)"));
    bar->addStretch();
    m_zoomBox = new QComboBox(this);
    m_zoomBox->setObjectName(QStringLiteral("cbbZoom"));
    // The zoom is chosen with the mouse: the page keys belong to the pages.
    m_zoomBox->setFocusPolicy(Qt::NoFocus);
    m_zoomBox->addItem(QStringLiteral("Ajustar à largura"), fitWidthZoom);
    m_zoomBox->addItem(QStringLiteral("Página inteira"), fitPageZoom);
    for (int z : {50, 75, 100, 125, 150, 200})
        m_zoomBox->addItem(QStringLiteral("%1%").arg(z), z / 100.0);
    bar->addWidget(m_zoomBox);

    m_view = new QLabel;
    m_view->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("scrPagina"));
    m_scroll->setWidget(m_view);
    m_scroll->setWidgetResizable(true);
    m_scroll->setBackgroundRole(QPalette::Dark);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(m_scroll);
    resize(1000, 720);

    auto guarded = [](auto code) { return [code] { Velmora::Dispatch(code); }; };
    connect(m_first, &QToolButton::clicked, this, [this] { goToPage(0); });
    connect(m_prior, &QToolButton::clicked, this, [this] { goToPage(m_page - 1); });
    connect(m_next, &QToolButton::clicked, this, [this] { goToPage(m_page + 1); });
    connect(m_last, &QToolButton::clicked, this, [this] { goToPage(pageCount() - 1); });
    connect(m_print, &QToolButton::clicked, this, guarded([this] { print(); }));
    connect(m_save, &QToolButton::clicked, this, guarded([this] { saveAs(); }));
    connect(findNext, &QToolButton::clicked, this,
            guarded([this] { find(m_findText->text(), true); }));
    connect(findPrior, &QToolButton::clicked, this,
            guarded([this] { find(m_findText->text(), false); }));
    connect(m_findText, &QLineEdit::returnPressed, this,
            guarded([this] { find(m_findText->text(), true); }));
    connect(m_zoomBox, &QComboBox::activated, this, [this] {
        const double z = m_zoomBox->currentData().toDouble();
        if (z == fitWidthZoom)
            fitWidth();
        else if (z == fitPageZoom)
            fitPage();
        else
            setZoom(z);
    });

    // The page keys turn pages whatever holds the focus.
    const QList<QPair<QKeySequence, std::function<void()>>> keys{
        {QKeySequence(Qt::Key_PageDown), [this] { goToPage(m_page + 1); }},
        {QKeySequence(Qt::Key_PageUp), [this] { goToPage(m_page - 1); }},
        {QKeySequence(Qt::Key_Home), [this] { goToPage(0); }},
        {QKeySequence(Qt::Key_End), [this] { goToPage(pageCount() - 1); }},
        {QKeySequence(Qt::CTRL | Qt::Key_Home), [this] { goToPage(0); }},
        {QKeySequence(Qt::CTRL | Qt::Key_End), [this] { goToPage(pageCount() - 1); }},
        {QKeySequence(Qt::Key_F3), guarded([this] { find(m_findText->text(), true); })},
        {QKeySequence(Qt::SHIFT | Qt::Key_F3),
         guarded([this] { find(m_findText->text(), false); })},
        {QKeySequence(Qt::CTRL | Qt::Key_F), [this] { m_findText->setFocus(); }},
        {QKeySequence(Qt::Key_Escape), [this] { close(); }},
    };
    for (const auto &[sequence, action] : keys) {
        auto *shortcut = new QShortcut(sequence, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, action);
    }
    m_scroll->setFocusPolicy(Qt::StrongFocus);
    m_scroll->setFocus();

    connect(m_timer, &QTimer::timeout, this, &ReportPreview::poll);
    m_timer->setInterval(100);
    m_timer->start();
    m_knownPages = pageCount();
    render();
    updateControls();
}

ReportPreview::~ReportPreview() = default;

ReportRun *ReportPreview::run() const
{
    return findChild<ReportRun *>(QString(), Qt::FindDirectChildrenOnly);
}

void ReportPreview::poll()
{
    const int pages = pageCount();
    const bool done = m_document->finished();
    if (pages == m_knownPages && !done)
        return;
    m_knownPages = pages;
    if (done) {
        m_timer->stop();
        // The page on view learns how many pages there are.
        m_renderedPage = -1;
    }
    if (m_renderedPage != m_page && m_page < pages)
        render();
    updateControls();
}

void ReportPreview::setZoom(double zoom)
{
    m_fit = Fit::None;
    m_zoom = qBound(0.25, zoom, 4.0);
    m_renderedPage = -1;
    render();
}

void ReportPreview::fitWidth()
{
    m_fit = Fit::Width;
    m_renderedPage = -1;
    render();
}

void ReportPreview::fitPage()
{
    m_fit = Fit::Page;
    m_renderedPage = -1;
    render();
}

void ReportPreview::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_fit != Fit::None) {
        m_renderedPage = -1;
        render();
    }
}

void ReportPreview::goToPage(int page)
{
    const int last = qMax(0, pageCount() - 1);
    m_page = qBound(0, page, last);
    render();
    updateControls();
}

bool ReportPreview::find(const QString &text, bool forward)
{
    if (text.trimmed().isEmpty())
        return false;
    // From the page after (or before) the one on view, then round from the other end.
    int page = m_document->findText(text, m_page + (forward ? 1 : -1), forward);
    if (page < 0)
        page = m_document->findText(text, forward ? 0 : pageCount() - 1, forward);
    if (page < 0) {
        updateControls();
        m_pageLabel->setText(m_pageLabel->text() + QStringLiteral(" – não encontrado"));
        return false;
    }
    goToPage(page);
    return true;
}

void ReportPreview::render()
{
    if (m_page >= pageCount()) {
        m_view->setText(QStringLiteral("Preparando o relatório..."));
        return;
    }
    const double dpi = logicalDpiX() / 72.0;
    const QSizeF page = m_document->pageSize();
    const QSize room = m_scroll->viewport()->size() - QSize(24, 24);
    if (m_fit == Fit::Width)
        m_zoom = qBound(0.25, room.width() / (page.width() * dpi), 4.0);
    else if (m_fit == Fit::Page)
        m_zoom = qBound(
            0.25, qMin(room.width() / (page.width() * dpi), room.height() / (page.height() * dpi)),
            4.0);
    const double scale = m_zoom * dpi;
    m_image = QImage((page * scale).toSize(), QImage::Format_RGB32);
    m_image.fill(Qt::white);
    QPainter painter(&m_image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(scale, scale);
    Velmora::Dispatch([&] { m_document->renderPage(m_page, painter); });
    painter.end();
    m_view->setPixmap(QPixmap::fromImage(m_image));
    // Every page is read from its top.
    m_scroll->verticalScrollBar()->setValue(0);
    m_scroll->horizontalScrollBar()->setValue(0);
    m_renderedPage = m_page;
}

void ReportPreview::updateControls()
{
    const int count = pageCount();
    const bool done = m_document->finished();
    m_pageLabel->setText(count == 0 ? QStringLiteral("Página -")
                         : done     ? QStringLiteral("Página %1 de %2").arg(m_page + 1).arg(count)
                                : QStringLiteral("Página %1 de %2…").arg(m_page + 1).arg(count));
    if (done && m_document->stopped())
        m_pageLabel->setText(m_pageLabel->text() + QStringLiteral(" (interrompido)"));
    m_first->setEnabled(m_page > 0);
    m_prior->setEnabled(m_page > 0);
    m_next->setEnabled(m_page + 1 < count);
    m_last->setEnabled(m_page + 1 < count);
    // Printing and saving take the whole report.
    m_print->setEnabled(done && !m_document->stopped());
    m_save->setEnabled(done && !m_document->stopped());
}

void ReportPreview::print()
{
    if (!m_document->finished())
        return;
    const std::shared_ptr<QPrinter> printer = ChoosePrinter(m_document->layout(), this);
    if (!printer)
        return;
    PaintPages(*m_document, *printer);
}

void ReportPreview::saveAs()
{
    if (!m_document->finished())
        return;
    const QString code = m_document->context().reportCode;
    const QString path = Velmora::Services::current().chooseFile(
        QStringLiteral("Salvar como"),
        QStringLiteral("PDF (*.pdf);;CSV (*.csv);;XLSX (*.xlsx);;HTML (*.html)"),
        (code.isEmpty() ? QStringLiteral("relatorio") : code) + QStringLiteral(".pdf"), true);
    if (path.isEmpty())
        return;
    const QString format = FormatOfFile(path);
    if (format.isEmpty())
        throw Exception(QStringLiteral("O arquivo '%1' não tem um formato conhecido: use PDF, "
                                       "CSV, XLSX ou HTML.")
                            .arg(path));
    OutputResult result;
    if (format == QLatin1String("pdf")) {
        // The pages already read make the PDF.
        result = WritePdfPages(*m_document, path);
    } else {
        // The tables are written from the query: the report runs again with the same values.
        ReportRun *original = run();
        if (!original)
            throw Exception(QStringLiteral("O relatório não pode ser lido de novo: feche a "
                                           "visualização e salve pela tela."));
        ReportRun::Request request = original->request();
        request.output = ReportRun::Output::File;
        request.action = QStringLiteral("save");
        request.path = path;
        ReportRun again(std::move(request), CurrentReportConnection());
        again.start();
        again.wait();
        if (again.failed())
            throw Exception(again.error());
        if (again.cancelled())
            return;
        result = again.result();
    }
    Velmora::Services::current().reportDone(QStringLiteral("save"), path, result.pages,
                                            result.rows);
    m_pageLabel->setText(SavedFileText(path, result));
}

} // namespace Velmora::Reports
