#include "ScheduleDialog.h"

#include "framework/dialogs/TitleWidth.h"
#include "rtl/Exceptions.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

namespace Velmora::Reports {

namespace {

const char *const weekdays[] = {"segunda-feira", "terça-feira", "quarta-feira", "quinta-feira",
                                "sexta-feira",   "sábado",      "domingo"};
const char *const formats[] = {"pdf", "csv", "xlsx", "html"};

} // namespace

ScheduleTiming ReadScheduleTiming(ScheduleFrequency frequency, const QString &dayOfMonth,
                                  int weekday, const QString &time, const QString &format)
{
    ScheduleTiming t;
    t.frequency = frequency;
    if (frequency == ScheduleFrequency::Monthly) {
        static const QRegularExpression digits(QStringLiteral("^\\d{1,2}$"));
        const QString day = dayOfMonth.trimmed();
        if (!digits.match(day).hasMatch() || day.toInt() < 1 || day.toInt() > 31)
            throw Exception(QStringLiteral("Informe o dia do mês, de 1 a 31: '%1' não serve. Num "
                                           "mês mais curto o relatório sai no último dia.")
                                .arg(dayOfMonth));
        t.day = day.toInt();
    } else if (frequency == ScheduleFrequency::Weekly) {
        if (weekday < 1 || weekday > 7)
            throw Exception(QStringLiteral("Escolha o dia da semana."));
        t.day = weekday;
    } else {
        t.day = 0;
    }
    static const QRegularExpression shape(QStringLiteral("^\\d{2}:\\d{2}$"));
    t.time = QTime::fromString(time.trimmed(), QStringLiteral("HH:mm"));
    if (!shape.match(time.trimmed()).hasMatch() || !t.time.isValid())
        throw Exception(QStringLiteral("Informe o horário como hh:mm, de 00:00 a 23:59: '%1' não "
                                       "serve.")
                            .arg(time));
    bool known = false;
    for (const char *f : formats)
        known = known || format == QLatin1String(f);
    if (!known)
        throw Exception(QStringLiteral("Escolha o formato do arquivo: pdf, csv, xlsx ou html."));
    t.format = format;
    return t;
}

ScheduleDialog::ScheduleDialog(const QString &setName, QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Agendar \"%1\"").arg(setName));
    m_frequency = new QComboBox(this);
    m_frequency->setObjectName(QStringLiteral("frequencia"));
    m_frequency->addItems(
        {QStringLiteral("Mensal"), QStringLiteral("Semanal"), QStringLiteral("Diário")});
    m_dayOfMonth = new QLineEdit(QStringLiteral("1"), this);
    m_dayOfMonth->setObjectName(QStringLiteral("diaDoMes"));
    m_weekday = new QComboBox(this);
    m_weekday->setObjectName(QStringLiteral("diaDaSemana"));
    for (const char *day : weekdays)
        m_weekday->addItem(QString::fromUtf8(day));
    m_time = new QLineEdit(QStringLiteral("08:00"), this);
    m_time->setObjectName(QStringLiteral("hora"));
    m_time->setPlaceholderText(QStringLiteral("hh:mm"));
    m_format = new QComboBox(this);
    m_format->setObjectName(QStringLiteral("formato"));
    for (const char *f : formats)
        m_format->addItem(QString::fromLatin1(f));
    m_refusal = new QLabel(this);
    m_refusal->setObjectName(QStringLiteral("recusa"));
    m_refusal->setWordWrap(true);
    m_refusal->setStyleSheet(QStringLiteral("color: #b00020"));
    m_refusal->hide();

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("&Frequência:"), m_frequency);
    m_dayLabel = new QLabel(this);
    auto *days = new QHBoxLayout;
    days->setContentsMargins(0, 0, 0, 0);
    days->addWidget(m_dayOfMonth);
    days->addWidget(m_weekday);
    form->addRow(m_dayLabel, days);
    form->addRow(QStringLiteral("&Horário:"), m_time);
    form->addRow(QStringLiteral("F&ormato:"), m_format);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Agendar"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancelar"));
    connect(buttons, &QDialogButtonBox::accepted, this, &ScheduleDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ScheduleDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_refusal);
    layout->addWidget(buttons);
    connect(m_frequency, &QComboBox::currentIndexChanged, this, &ScheduleDialog::showDay);
    showDay();
    Velmora::FitTitle(this);
}

ScheduleFrequency ScheduleDialog::frequency() const
{
    switch (m_frequency->currentIndex()) {
    case 1:
        return ScheduleFrequency::Weekly;
    case 2:
        return ScheduleFrequency::Daily;
    default:
        return ScheduleFrequency::Monthly;
    }
}

void ScheduleDialog::showDay()
{
    const ScheduleFrequency f = frequency();
    m_dayOfMonth->setVisible(f == ScheduleFrequency::Monthly);
    m_weekday->setVisible(f == ScheduleFrequency::Weekly);
    m_dayLabel->setVisible(f != ScheduleFrequency::Daily);
    m_dayLabel->setText(f == ScheduleFrequency::Weekly ? QStringLiteral("&Dia da semana:")
                                                       : QStringLiteral("&Dia do mês:"));
    m_dayLabel->setBuddy(f == ScheduleFrequency::Weekly ? static_cast<QWidget *>(m_weekday)
                                                        : m_dayOfMonth);
}

void ScheduleDialog::accept()
{
    try {
        m_timing =
            ReadScheduleTiming(frequency(), m_dayOfMonth->text(), m_weekday->currentIndex() + 1,
                               m_time->text(), m_format->currentText());
    } catch (const Exception &e) {
        m_refusal->setText(e.Message());
        m_refusal->show();
        return;
    }
    QDialog::accept();
}

} // namespace Velmora::Reports
