#pragma once

#include "reports_global.h"

#include <QDialog>
#include <QPointer>

class QLabel;

namespace Velmora::Reports {

class ReportRun;

// What a report run has done so far, beside the screen that started it: documents read,
// pages made, time gone, and "Cancelar". The screen stays usable under it.
class VELMORA_REPORTS_EXPORT ReportProgressDialog : public QDialog
{
    Q_OBJECT
public:
    ReportProgressDialog(ReportRun *run, const QString &reportCode, QWidget *parent);

    // Reads the run's counters again.
    void refresh();

private:
    QPointer<ReportRun> m_run;
    QLabel *m_rows;
    QLabel *m_pages;
    QLabel *m_elapsed;
};

} // namespace Velmora::Reports
