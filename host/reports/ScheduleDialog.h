#pragma once

#include "ScheduleClient.h"
#include "reports_global.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;

namespace Velmora::Reports {

// Reads what the clerk typed; raises Exception saying, in the clerk's words, what is wrong.
// `dayOfMonth` counts when monthly, `weekday` (1 Monday..7 Sunday) when weekly.
VELMORA_REPORTS_EXPORT ScheduleTiming ReadScheduleTiming(ScheduleFrequency frequency,
                                                         const QString &dayOfMonth, int weekday,
                                                         const QString &time,
                                                         const QString &format);

// Asks when a saved parameter set runs by itself: frequency (mensal, semanal, diário), the day
// (of the month, or of the week by name), the time (hh:mm) and the file's format. OK with bad
// input says why in the dialog and stays open; accepted, Timing() gives what was chosen.
class VELMORA_REPORTS_EXPORT ScheduleDialog : public QDialog
{
    Q_OBJECT
public:
    ScheduleDialog(const QString &setName, QWidget *parent = nullptr);

    ScheduleTiming Timing() const { return m_timing; }

    void accept() override;

private:
    ScheduleFrequency frequency() const;
    void showDay();

    QComboBox *m_frequency, *m_weekday, *m_format;
    QLineEdit *m_dayOfMonth, *m_time;
    QLabel *m_dayLabel, *m_refusal;
    ScheduleTiming m_timing;
};

} // namespace Velmora::Reports
