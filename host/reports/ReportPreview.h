#pragma once

#include "PagedReport.h"
#include "reports_global.h"

#include <QImage>
#include <QWidget>

#include <memory>

class QComboBox;
class QLabel;
class QScrollArea;
class QTimer;
class QToolButton;

namespace Velmora::Reports {

// The preview window: a window of its own beside the screen, with page navigation and zoom.
// Only the page on view is painted, when it is asked for; the rest of the report keeps
// arriving in the background in small steps so the window answers at once.
class VELMORA_REPORTS_EXPORT ReportPreview : public QWidget
{
    Q_OBJECT
public:
    ReportPreview(std::unique_ptr<PagedReport> document, const QString &title);
    ~ReportPreview() override;

    int currentPage() const { return m_page; }
    int pageCount() const { return m_document->pageCount(); }
    bool loading() const { return !m_document->finished(); }
    double zoom() const { return m_zoom; }
    void setZoom(double zoom);
    void goToPage(int page);
    // The page on view as it is drawn on screen.
    QImage pageImage() const { return m_image; }

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void pumpSome();
    void render();
    void updateControls();

    std::unique_ptr<PagedReport> m_document;
    QTimer *m_timer;
    QScrollArea *m_scroll;
    QLabel *m_view;
    QLabel *m_pageLabel;
    QComboBox *m_zoomBox;
    QToolButton *m_first, *m_prior, *m_next, *m_last;
    QImage m_image;
    int m_page = 0;
    double m_zoom = 1.0;
    int m_renderedPage = -1;
};

} // namespace Velmora::Reports
