#pragma once

#include "PagedReport.h"
#include "reports_global.h"

#include <QImage>
#include <QWidget>

#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QScrollArea;
class QTimer;
class QToolButton;

namespace Velmora::Reports {

class ReportRun;

// The preview window: a window of its own beside the screen. The pages come from a report
// run on its own thread; the first shows as soon as it is made and the rest fill in. Only the
// page on view is painted, when it is asked for. A tool bar prints, saves, finds text, zooms
// and turns pages; the page keys turn pages whatever holds the focus, and Esc closes.
class VELMORA_REPORTS_EXPORT ReportPreview : public QWidget
{
    Q_OBJECT
public:
    ReportPreview(std::shared_ptr<PagedReport> document, const QString &title);
    ~ReportPreview() override;

    int currentPage() const { return m_page; }
    int pageCount() const { return m_document->pageCount(); }
    bool loading() const { return !m_document->finished(); }
    double zoom() const { return m_zoom; }
    void setZoom(double zoom);
    // Zoom to the window's width or to the whole page.
    void fitWidth();
    void fitPage();
    void goToPage(int page);
    // The next page (or the one before) whose texts hold text; false when none does.
    bool find(const QString &text, bool forward);
    // The page on view as it is drawn on screen.
    QImage pageImage() const { return m_image; }
    // Saves the pages already read as PDF, or runs the report again for the other formats.
    void saveAs();
    void print();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    enum class Fit { None, Width, Page };
    void poll();
    void render();
    void updateControls();
    ReportRun *run() const;

    std::shared_ptr<PagedReport> m_document;
    QString m_title;
    QTimer *m_timer;
    QScrollArea *m_scroll;
    QLabel *m_view;
    QLabel *m_pageLabel;
    QComboBox *m_zoomBox;
    QLineEdit *m_findText;
    QToolButton *m_first, *m_prior, *m_next, *m_last, *m_print, *m_save;
    QImage m_image;
    int m_page = 0;
    double m_zoom = 1.0;
    Fit m_fit = Fit::Width;
    int m_renderedPage = -1;
    int m_knownPages = 0;
};

} // namespace Velmora::Reports
