#include "ReportPreview.h"

#include "framework/Dispatch.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace Velmora::Reports {

namespace {
constexpr int bandsPerStep = 4000;
}

ReportPreview::ReportPreview(std::unique_ptr<PagedReport> document, const QString &title)
    : QWidget(nullptr, Qt::Window), m_document(std::move(document)), m_timer(new QTimer(this))
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
    m_first = button(QStringLiteral("btnPrimeira"), QStringLiteral("|<"),
                     QStringLiteral("Primeira página"));
    m_prior = button(QStringLiteral("btnAnterior"), QStringLiteral("<"),
                     QStringLiteral("Página anterior"));
    m_next =
        button(QStringLiteral("btnProxima"), QStringLiteral(">"), QStringLiteral("Próxima página"));
    m_last =
        button(QStringLiteral("btnUltima"), QStringLiteral(">|"), QStringLiteral("Última página"));
    m_pageLabel = new QLabel(this);
    m_pageLabel->setObjectName(QStringLiteral("lblPagina"));
    bar->addWidget(m_pageLabel);
    bar->addStretch();
    m_zoomBox = new QComboBox(this);
    m_zoomBox->setObjectName(QStringLiteral("cbbZoom"));
    for (int z : {50, 75, 100, 125, 150, 200})
        m_zoomBox->addItem(QStringLiteral("%1%").arg(z), z / 100.0);
    m_zoomBox->setCurrentIndex(2);
    bar->addWidget(m_zoomBox);

    m_view = new QLabel;
    m_view->setAlignment(Qt::AlignCenter);
    m_scroll = new QScrollArea(this);
    m_scroll->setWidget(m_view);
    m_scroll->setWidgetResizable(true);
    m_scroll->setBackgroundRole(QPalette::Dark);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(m_scroll);
    resize(900, 700);

    connect(m_first, &QToolButton::clicked, this, [this] { goToPage(0); });
    connect(m_prior, &QToolButton::clicked, this, [this] { goToPage(m_page - 1); });
    connect(m_next, &QToolButton::clicked, this, [this] { goToPage(m_page + 1); });
    connect(m_last, &QToolButton::clicked, this, [this] { goToPage(pageCount() - 1); });
    connect(m_zoomBox, &QComboBox::currentIndexChanged, this,
            [this] { setZoom(m_zoomBox->currentData().toDouble()); });
    connect(m_timer, &QTimer::timeout, this, &ReportPreview::pumpSome);
    m_timer->setInterval(0);
    if (!m_document->finished())
        m_timer->start();
    render();
    updateControls();
}

ReportPreview::~ReportPreview() = default;

void ReportPreview::pumpSome()
{
    const bool ok = Velmora::Dispatch([this] { m_document->pump(bandsPerStep); });
    if (!ok || m_document->finished())
        m_timer->stop();
    // The page on view learns how many pages there are.
    if (m_document->finished())
        m_renderedPage = -1;
    if (!ok)
        m_pageLabel->setText(m_pageLabel->text() + QStringLiteral(" (interrompido)"));
    if (m_renderedPage != m_page && m_page < pageCount())
        render();
    updateControls();
}

void ReportPreview::setZoom(double zoom)
{
    m_zoom = qBound(0.25, zoom, 4.0);
    m_renderedPage = -1;
    render();
}

void ReportPreview::goToPage(int page)
{
    const int last = qMax(0, pageCount() - 1);
    m_page = qBound(0, page, last);
    render();
    updateControls();
}

void ReportPreview::render()
{
    if (m_page >= pageCount()) {
        m_view->setText(QStringLiteral("Preparando o relatório..."));
        return;
    }
    const double scale = m_zoom * logicalDpiX() / 72.0;
    const QSizeF size = m_document->pageSize() * scale;
    m_image = QImage(size.toSize(), QImage::Format_RGB32);
    m_image.fill(Qt::white);
    QPainter painter(&m_image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(scale, scale);
    Velmora::Dispatch([&] { m_document->renderPage(m_page, painter); });
    painter.end();
    m_view->setPixmap(QPixmap::fromImage(m_image));
    m_renderedPage = m_page;
}

void ReportPreview::updateControls()
{
    const int count = pageCount();
    m_pageLabel->setText(count == 0 ? QStringLiteral("Página -")
                                    : QStringLiteral("Página %1 de %2%3")
                                          .arg(m_page + 1)
                                          .arg(count)
                                          .arg(loading() ? QStringLiteral("+") : QString()));
    m_first->setEnabled(m_page > 0);
    m_prior->setEnabled(m_page > 0);
    m_next->setEnabled(m_page + 1 < count);
    m_last->setEnabled(m_page + 1 < count);
}

void ReportPreview::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_PageDown:
        goToPage(m_page + 1);
        return;
    case Qt::Key_PageUp:
        goToPage(m_page - 1);
        return;
    case Qt::Key_Home:
        goToPage(0);
        return;
    case Qt::Key_End:
        goToPage(pageCount() - 1);
        return;
    case Qt::Key_Escape:
        close();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

} // namespace Velmora::Reports
