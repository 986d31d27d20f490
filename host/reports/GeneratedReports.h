#pragma once

#include "ReportJobClient.h"
#include "reports_global.h"

#include <QList>
#include <QWidget>

#include <memory>

class QLabel;
class QPushButton;
class QStackedWidget;
class QTableWidget;
class QTimer;

namespace Velmora::Reports {

// "Relatórios gerados": the clerk's reports sent to the background, refreshed every two
// seconds while the window shows. The list is asked on a thread of its own, so a slow or
// absent server never holds the clerk's screens; its failure goes to the status line, and
// the next refresh tries again. Opening a report downloads it to the user's cache folder.
class VELMORA_REPORTS_EXPORT GeneratedReports : public QWidget
{
    Q_OBJECT
public:
    explicit GeneratedReports(QWidget *parent = nullptr);
    ~GeneratedReports() override;

    static constexpr int refreshMs = 2000;

    // Opens the window in the main window's document area (or on its own), or brings the
    // open one forward.
    static GeneratedReports *Show();

    QList<ReportJobRow> Rows() const { return m_rows; }
    // The job the selection stands on, else empty.
    QString SelectedId() const;
    QString StatusText() const;

    // The actions on the selected job; each says in Portuguese what went wrong.
    void OpenSelected();
    void SaveSelectedCopy();
    void CancelSelected();
    void RunSelectedAgain();

public slots:
    // Asks the server for the list now (a refresh already on its way is let finish).
    void Refresh();

signals:
    // A refresh has ended, with the list or with its failure in the status line.
    void refreshed();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void apply(const QList<ReportJobRow> &rows, const QString &error);
    void fillRow(int row, const ReportJobRow &job);
    void updateActions();
    const ReportJobRow *selected() const;
    void setStatus(const QString &text);

    QTableWidget *m_table;
    QStackedWidget *m_pages;
    QLabel *m_empty;
    QLabel *m_status;
    QPushButton *m_open;
    QPushButton *m_save;
    QPushButton *m_cancel;
    QPushButton *m_again;
    QTimer *m_timer;
    QList<ReportJobRow> m_rows;
    // The refreshes' own client, one refresh at a time on a pool thread: its keep-alive
    // connection serves the next refresh. Shared, as a refresh may outlive the window.
    std::shared_ptr<ReportJobClient> m_lister;
    bool m_asking = false;
    bool m_listedOnce = false;
};

} // namespace Velmora::Reports
