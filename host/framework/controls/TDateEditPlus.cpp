#include "TDateEditPlus.h"

#include "framework/Consiste.h"
#include "framework/Glyphs.h"
#include "rtl/DateConvert.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QKeyEvent>
#include <QLabel>
#include <QStyle>
#include <QToolButton>

#include <cmath>

namespace {
constexpr int buttonWidth = 18;
constexpr int weekDayGap = 4;
} // namespace

TDateEditPlus::TDateEditPlus(QWidget *parent)
    : TMaskEdit(parent),
      m_button(new QToolButton(this)), m_weekDays{
                                           QStringLiteral("Domingo"), QStringLiteral("Segunda"),
                                           QStringLiteral("Terça"),   QStringLiteral("Quarta"),
                                           QStringLiteral("Quinta"),  QStringLiteral("Sexta"),
                                           QStringLiteral("Sábado")}
{
    SetEditMask(dateMask());
    m_button->setObjectName(QStringLiteral("DropDownButton"));
    m_button->setFocusPolicy(Qt::NoFocus);
    m_button->setCursor(Qt::ArrowCursor);
    m_button->setAutoRaise(true);
    m_button->setIcon(QIcon(Glyphs::CalendarDropDown()));
    m_button->setIconSize(QSize(16, 16));
    setTextMargins(0, 0, buttonWidth, 0);
    connect(m_button, &QToolButton::clicked, this, [this] { DropDown(); });
}

TDateEditPlus::~TDateEditPlus()
{
    delete m_weekDay.data();
}

// The short date format as a mask: two digits for day and month, two or four for the year,
// the separators as literals kept in the text.
QString TDateEditPlus::dateMask() const
{
    const QString format = FormatSettings::ShortDateFormat();
    QString pattern;
    for (int i = 0; i < format.size();) {
        const QChar c = format.at(i);
        int run = 1;
        while (i + run < format.size() && format.at(i + run) == c)
            ++run;
        if (c == QLatin1Char('d') || c == QLatin1Char('M'))
            pattern += QStringLiteral("99");
        else if (c == QLatin1Char('y'))
            pattern += run <= 2 ? QStringLiteral("99") : QStringLiteral("9999");
        else
            for (int k = 0; k < run; ++k)
                pattern += QLatin1Char('\\') + c;
        i += run;
    }
    return pattern + QStringLiteral(";1; ");
}

QLabel *TDateEditPlus::WeekDayLabel() const
{
    return m_weekDay.data();
}

void TDateEditPlus::SetValidDateColor(const QString &color)
{
    m_validDateColor = color;
    refresh();
}

void TDateEditPlus::SetNomeSemana(const QStringList &names)
{
    m_weekDays = names;
    refresh();
}

bool TDateEditPlus::IsValidDate() const
{
    TDateTime date;
    return !Consiste::EmptyString(Text()) && TryStrToDate(Text(), date);
}

TDateTime TDateEditPlus::GetDate() const
{
    const QString text = Text();
    if (Consiste::EmptyString(text))
        return TDateTime(0);
    const TDateTime date = StrToDate(text);
    return m_saveTime ? TDateTime(date.value() + m_time) : date;
}

void TDateEditPlus::SetDate(TDateTime date)
{
    if (date.value() == 0) {
        m_time = 0;
        SetText(QString());
        return;
    }
    const double day = std::floor(date.value());
    m_time = m_saveTime ? std::fabs(date.value() - day) : 0;
    SetText(DateToStr(date));
}

void TDateEditPlus::CheckValidDate() const
{
    if (Consiste::EmptyString(Text()) || IsValidDate())
        return;
    Consiste::MensErro(QStringLiteral("Data inválida."), true);
}

void TDateEditPlus::TextChanged()
{
    refresh();
}

void TDateEditPlus::refresh()
{
    const bool valid = IsValidDate();
    QPalette p = palette();
    const QColor validColor = Velmora::ColorByName(m_validDateColor);
    QColor textColor = Velmora::ColorByName(FontColor());
    if (!textColor.isValid())
        textColor = QApplication::palette(this).color(QPalette::Text);
    p.setColor(QPalette::Text, valid && validColor.isValid() ? validColor : textColor);
    setPalette(p);

    if (!valid || m_weekDays.size() != 7) {
        if (m_weekDay)
            m_weekDay->hide();
        return;
    }
    placeWeekDay();
    if (!m_weekDay)
        return;
    const QDate date = StrToDate(Text()).toDate();
    m_weekDay->setText(m_weekDays.at(date.dayOfWeek() % 7));
    m_weekDay->setVisible(!isHidden());
}

// The week day stands right of the field, past any control that sits there on the same row
// (the field's lookup button).
void TDateEditPlus::placeWeekDay()
{
    QWidget *parent = parentWidget();
    if (!parent)
        return;
    if (!m_weekDay || m_weekDay->parentWidget() != parent) {
        delete m_weekDay.data();
        m_weekDay = new QLabel(parent);
        m_weekDay->hide();
    }
    m_weekDay->setObjectName(objectName() + QStringLiteral("NomeSemana"));
    m_weekDay->setFont(font());
    m_weekDay->setEnabled(isEnabled());
    int width = 0;
    for (const QString &name : std::as_const(m_weekDays))
        width = qMax(width, m_weekDay->fontMetrics().horizontalAdvance(name));
    QRect place(geometry().right() + 1 + weekDayGap, y(), width + 2, height());
    for (bool moved = true; moved;) {
        moved = false;
        for (QObject *child : parent->children()) {
            auto *sibling = qobject_cast<QWidget *>(child);
            if (!sibling || sibling == this || sibling == m_weekDay || sibling->isHidden() ||
                sibling->isWindow() || !sibling->geometry().intersects(place))
                continue;
            place.moveLeft(sibling->geometry().right() + 1 + weekDayGap);
            moved = true;
        }
    }
    m_weekDay->setGeometry(place);
}

void TDateEditPlus::DropDown()
{
    if (!isEnabled() || isReadOnly())
        return;
    auto *calendar = new QCalendarWidget(this);
    calendar->setObjectName(QStringLiteral("DropDownCalendar"));
    calendar->setWindowFlags(Qt::Popup);
    calendar->setAttribute(Qt::WA_DeleteOnClose);
    calendar->setLocale(QLocale(QLocale::Portuguese, QLocale::Brazil));
    calendar->setFirstDayOfWeek(Qt::Sunday);
    calendar->setGridVisible(true);
    if (IsValidDate())
        calendar->setSelectedDate(StrToDate(Text()).toDate());
    connect(calendar, &QCalendarWidget::activated, this, [this, calendar](QDate date) {
        calendar->close();
        SetDate(TDateTime::fromDate(date));
    });
    connect(calendar, &QCalendarWidget::clicked, this, [this, calendar](QDate date) {
        calendar->close();
        SetDate(TDateTime::fromDate(date));
    });
    calendar->adjustSize();
    calendar->move(mapToGlobal(QPoint(0, height())));
    calendar->show();
    calendar->setFocus(Qt::PopupFocusReason);
}

void TDateEditPlus::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Down && event->modifiers() == Qt::AltModifier) {
        DropDown();
        return;
    }
    TMaskEdit::keyPressEvent(event);
}

void TDateEditPlus::resizeEvent(QResizeEvent *event)
{
    TMaskEdit::resizeEvent(event);
    const int frame = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
    m_button->setGeometry(width() - frame - buttonWidth, frame, buttonWidth, height() - 2 * frame);
    if (m_weekDay)
        placeWeekDay();
}

void TDateEditPlus::moveEvent(QMoveEvent *event)
{
    TMaskEdit::moveEvent(event);
    if (m_weekDay)
        placeWeekDay();
}

void TDateEditPlus::changeEvent(QEvent *event)
{
    TMaskEdit::changeEvent(event);
    if (event->type() == QEvent::EnabledChange || event->type() == QEvent::FontChange ||
        event->type() == QEvent::ParentChange)
        refresh();
}

void TDateEditPlus::showEvent(QShowEvent *event)
{
    TMaskEdit::showEvent(event);
    refresh();
}

void TDateEditPlus::hideEvent(QHideEvent *event)
{
    TMaskEdit::hideEvent(event);
    if (m_weekDay && isHidden())
        m_weekDay->hide();
}
