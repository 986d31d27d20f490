#include "RecordingServices.h"
#include "TestSupport.h"
#include "framework/Events.h"
#include "framework/Glyphs.h"
#include "framework/controls/TDateEditPlus.h"
#include "rtl/DateConvert.h"
#include "rtl/Exceptions.h"

#include <QCalendarWidget>
#include <QLabel>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

class ChangeCounter : public QObject
{
    Q_OBJECT
public:
    int changes = 0;
    Q_INVOKABLE void changed(QObject *) { ++changes; }
};

class DateEditTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void typedTexts_data();
    void typedTexts();
    void emptyField();
    void setDateAndGetDate();
    void saveTimeKeepsTheTimeOfDay();
    void weekDayStandsBesideTheField();
    void dropDownCalendarSetsTheDate();
    void pictures();

private:
    QWidget m_screen;
    TDateEditPlus *m_date = nullptr;
    QToolButton *m_lookup = nullptr;
};

void DateEditTest::init()
{
    delete m_date;
    delete m_lookup;
    m_screen.resize(387, 100);
    m_date = new TDateEditPlus(&m_screen);
    m_date->setObjectName(QStringLiteral("depDtInicial"));
    m_date->setGeometry(86, 29, 100, 21);
    m_date->SetValidDateColor(QStringLiteral("clBlue"));
    // The lookup button stands right beside the field, as on the screens.
    m_lookup = new QToolButton(&m_screen);
    m_lookup->setGeometry(191, 30, 21, 21);
    m_date->show();
    m_lookup->show();
    m_screen.show();
    QVERIFY(QTest::qWaitForWindowExposed(&m_screen));
    m_date->setFocus();
    m_date->setCursorPosition(0);
}

void DateEditTest::typedTexts_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("weekDay");
    QTest::newRow("sunday") << "12052024"
                            << "12/05/2024" << true << "Domingo";
    QTest::newRow("with slashes") << "12/05/2024"
                                  << "12/05/2024" << true << "Domingo";
    QTest::newRow("saturday") << "01062024"
                              << "01/06/2024" << true << "Sábado";
    QTest::newRow("leap day") << "29022024"
                              << "29/02/2024" << true << "Quinta";
    QTest::newRow("two-digit year") << "010324"
                                    << "01/03/24" << true << "Sexta";
    QTest::newRow("no such day") << "31022024"
                                 << "31/02/2024" << false << "";
    QTest::newRow("no such month") << "01132024"
                                   << "01/13/2024" << false << "";
    QTest::newRow("part of a date") << "1205"
                                    << "12/05/" << false << "";
    QTest::newRow("day only") << "1"
                              << "1 /  /" << false << "";
}

void DateEditTest::typedTexts()
{
    QFETCH(QString, typed);
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(QString, weekDay);
    RecordingServices services;

    QTest::keyClicks(m_date, typed);
    QCOMPARE(m_date->Text(), text);
    QCOMPARE(m_date->IsValidDate(), valid);
    const QColor textColor = m_date->palette().color(QPalette::Text);
    QCOMPARE(textColor == QColor(Qt::blue), valid);
    QLabel *label = m_date->WeekDayLabel();
    if (valid) {
        QVERIFY(label && label->isVisible());
        QCOMPARE(label->text(), weekDay);
        QVERIFY(!m_date->EditText().contains(weekDay));
        m_date->CheckValidDate();
        QVERIFY(services.messages().isEmpty());
        QCOMPARE(m_date->GetDate(), StrToDate(text));
    } else {
        QVERIFY(!label || !label->isVisible());
        QVERIFY_THROWS_EXCEPTION(EAbort, m_date->CheckValidDate());
        QCOMPARE(services.messages(), QStringList{"Data inválida."});
        QVERIFY_THROWS_EXCEPTION(EConvertError, m_date->GetDate());
    }
}

void DateEditTest::emptyField()
{
    RecordingServices services;
    QCOMPARE(m_date->Text(), QString());
    QCOMPARE(m_date->EditText(), QStringLiteral("  /  /    "));
    QCOMPARE(m_date->GetDate().value(), 0.0);
    m_date->CheckValidDate();
    QVERIFY(services.messages().isEmpty());
    QVERIFY(!m_date->WeekDayLabel() || !m_date->WeekDayLabel()->isVisible());
    QVERIFY(m_date->palette().color(QPalette::Text) != QColor(Qt::blue));
}

void DateEditTest::setDateAndGetDate()
{
    ChangeCounter counter;
    QString why;
    QVERIFY(Velmora::Events::of(m_date).bind(
        QStringLiteral("OnChange"), Velmora::EventSignature::Notify, &counter, "changed", &why));
    const TDateTime day = TDateTime::fromDate(QDate(2023, 12, 31));
    m_date->SetDate(day);
    QCOMPARE(m_date->Text(), QStringLiteral("31/12/2023"));
    QCOMPARE(m_date->GetDate(), day);
    QCOMPARE(m_date->WeekDayLabel()->text(), QStringLiteral("Domingo"));
    QCOMPARE(counter.changes, 1);
    m_date->SetDate(day); // the same date: no change
    QCOMPARE(counter.changes, 1);
    // SaveTime off: a time of day given to SetDate is not kept.
    m_date->SetDate(TDateTime(day.value() + 0.75));
    QCOMPARE(m_date->GetDate(), day);
    QCOMPARE(counter.changes, 1);
    m_date->SetDate(TDateTime(0));
    QCOMPARE(m_date->Text(), QString());
    QCOMPARE(m_date->GetDate().value(), 0.0);
    QCOMPARE(counter.changes, 2);
}

void DateEditTest::saveTimeKeepsTheTimeOfDay()
{
    m_date->SetSaveTime(true);
    const TDateTime moment(TDateTime::fromDate(QDate(2024, 1, 2)).value() + 0.5);
    m_date->SetDate(moment);
    QCOMPARE(m_date->GetDate(), moment);
    QCOMPARE(m_date->Text(), QStringLiteral("02/01/2024"));
}

void DateEditTest::weekDayStandsBesideTheField()
{
    m_date->SetNomeSemana({"Dom", "Seg", "Ter", "Qua", "Qui", "Sex", "Sáb"});
    m_date->SetDate(TDateTime::fromDate(QDate(2024, 5, 13)));
    QLabel *label = m_date->WeekDayLabel();
    QVERIFY(label);
    QCOMPARE(label->text(), QStringLiteral("Seg"));
    QCOMPARE(label->parentWidget(), &m_screen);
    // Beside the field, past the lookup button, never over either.
    QVERIFY(!label->geometry().intersects(m_date->geometry()));
    QVERIFY(!label->geometry().intersects(m_lookup->geometry()));
    QCOMPARE(label->y(), m_date->y());
    QVERIFY(label->x() > m_lookup->geometry().right());
    m_date->hide();
    QVERIFY(!label->isVisible());
}

void DateEditTest::dropDownCalendarSetsTheDate()
{
    QToolButton *button = m_date->DropDownButton();
    QCOMPARE(button->focusPolicy(), Qt::NoFocus);
    QVERIFY(m_date->geometry().contains(button->mapTo(&m_screen, QPoint(0, 0))));
    QTest::mouseClick(button, Qt::LeftButton);
    auto *calendar = m_date->findChild<QCalendarWidget *>(QStringLiteral("DropDownCalendar"));
    QVERIFY(calendar && calendar->isVisible());
    QCOMPARE(calendar->firstDayOfWeek(), Qt::Sunday);
    calendar->setSelectedDate(QDate(2024, 7, 19));
    auto *grid = calendar->findChild<QTableView *>();
    QVERIFY(grid);
    QTest::keyClick(grid, Qt::Key_Return);
    QCOMPARE(m_date->Text(), QStringLiteral("19/07/2024"));
    QTRY_VERIFY(!calendar->isVisible() || calendar->isHidden());
}

void DateEditTest::pictures()
{
    const QImage calendar = Glyphs::CalendarDropDown().toImage();
    QCOMPARE(calendar.size(), QSize(16, 16));
    QCOMPARE(qAlpha(calendar.pixel(0, 15)), 0);                 // transparent corner
    QCOMPARE(QColor(calendar.pixel(7, 15)), QColor(Qt::black)); // arrow point
    QCOMPARE(QColor(calendar.pixel(4, 12)), QColor(Qt::black)); // arrow base
    QCOMPARE(QColor(calendar.pixel(5, 5)), QColor(Qt::black));  // the "1"
    QCOMPARE(QColor(calendar.pixel(8, 6)), QColor(Qt::white));  // page between the digits

    const QImage strip = Glyphs::LookupStrip().toImage().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(strip.size(), QSize(32, 16));
    QCOMPARE(qAlpha(strip.pixel(15, 0)), 0);                 // olive is transparent
    QCOMPARE(QColor(strip.pixel(0, 6)), QColor(Qt::black));  // the hand
    QCOMPARE(QColor(strip.pixel(11, 6)), QColor(Qt::black)); // the dotted line
    QCOMPARE(qAlpha(strip.pixel(12, 6)), 0);
    QCOMPARE(QColor(strip.pixel(16, 6)), QColor(128, 128, 128)); // greyed twin
}

QTEST_MAIN(DateEditTest)
#include "tst_dateedit.moc"
