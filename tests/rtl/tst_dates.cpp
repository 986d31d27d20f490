#include "rtl/DateConvert.h"
#include "rtl/Exceptions.h"
#include "rtl/TDateTime.h"

#include <gtest/gtest.h>

namespace {

struct FormatGuard
{
    explicit FormatGuard(const QString &format) { FormatSettings::SetShortDateFormat(format); }
    ~FormatGuard() { FormatSettings::SetShortDateFormat(QStringLiteral("dd/MM/yyyy")); }
};

TEST(TDateTimeTest, DayZeroIsThirtiethOfDecember1899)
{
    EXPECT_EQ(TDateTime(0.0).toDate(), QDate(1899, 12, 30));
    EXPECT_EQ(TDateTime::fromDate(QDate(1899, 12, 30)).value(), 0.0);
    EXPECT_EQ(TDateTime::fromDate(QDate(1900, 1, 1)).value(), 2.0);
    EXPECT_EQ(TDateTime::fromDate(QDate(2024, 1, 1)).value(), 45292.0);
}

TEST(TDateTimeTest, LeapDaysAreCounted)
{
    const double feb28 = TDateTime::fromDate(QDate(2024, 2, 28)).value();
    EXPECT_EQ(TDateTime::fromDate(QDate(2024, 2, 29)).value(), feb28 + 1);
    EXPECT_EQ(TDateTime::fromDate(QDate(2024, 3, 1)).value(), feb28 + 2);
    // 1900 was no leap year here, unlike in some spreadsheets.
    EXPECT_EQ(TDateTime::fromDate(QDate(1900, 3, 1)).value() -
                  TDateTime::fromDate(QDate(1900, 2, 28)).value(),
              1.0);
    EXPECT_EQ(TDateTime(45351.0).toDate(), QDate(2024, 2, 29));
}

TEST(TDateTimeTest, TimeIsTheFraction)
{
    const QDateTime noon(QDate(2024, 5, 10), QTime(12, 0));
    const TDateTime t = TDateTime::fromDateTime(noon);
    EXPECT_DOUBLE_EQ(t.value(), TDateTime::fromDate(noon.date()).value() + 0.5);
    EXPECT_EQ(t.toDateTime(), noon);
    EXPECT_EQ(t.toDate(), noon.date());
    EXPECT_EQ(t.datePart().value(), TDateTime::fromDate(noon.date()).value());
    // Before day zero the fraction still counts forward from midnight.
    EXPECT_EQ(TDateTime(-1.25).toDateTime(), QDateTime(QDate(1899, 12, 29), QTime(6, 0)));
    EXPECT_DOUBLE_EQ(TDateTime::fromDateTime(QDateTime(QDate(1899, 12, 29), QTime(6, 0))).value(),
                     -1.25);
    // A value a hair before midnight rounds to the next day, never to 24:00.
    EXPECT_EQ(TDateTime(1.0 - 1e-12).toDateTime(), QDateTime(QDate(1899, 12, 31), QTime(0, 0)));
}

TEST(TDateTimeTest, RoundTripsEveryDayAndMillisecond)
{
    for (QDate d(1899, 1, 1); d < QDate(2101, 1, 1); d = d.addDays(37))
        ASSERT_EQ(TDateTime::fromDate(d).toDate(), d) << d.toString().toStdString();
    const QDate day(2026, 12, 7);
    for (int ms = 0; ms < 86400000; ms += 86399 * 7) {
        const QDateTime dt(day, QTime::fromMSecsSinceStartOfDay(ms));
        ASSERT_EQ(TDateTime::fromDateTime(dt).toDateTime(), dt) << ms;
    }
}

TEST(TDateTimeTest, NonFiniteValuesAreNoDate)
{
    EXPECT_FALSE(TDateTime(std::numeric_limits<double>::quiet_NaN()).isValid());
    EXPECT_FALSE(TDateTime(std::numeric_limits<double>::infinity()).toDate().isValid());
    EXPECT_FALSE(TDateTime(1e12).toDate().isValid());
}

TEST(StrToDateTest, ReadsTheShortDateFormat)
{
    EXPECT_EQ(StrToDate(QStringLiteral("29/02/2024")).toDate(), QDate(2024, 2, 29));
    EXPECT_EQ(StrToDate(QStringLiteral("1/2/2024")).toDate(), QDate(2024, 2, 1));
    EXPECT_EQ(StrToDate(QStringLiteral(" 07/12/2026 ")).toDate(), QDate(2026, 12, 7));
    EXPECT_EQ(StrToDate(QStringLiteral("07/12")).toDate(),
              QDate(QDate::currentDate().year(), 12, 7));
    EXPECT_EQ(DateToStr(TDateTime::fromDate(QDate(2024, 2, 9))), QStringLiteral("09/02/2024"));
}

TEST(StrToDateTest, TwoDigitYearsFallNearToday)
{
    const int year = QDate::currentDate().year();
    const int yy = year % 100;
    EXPECT_EQ(
        StrToDate(QStringLiteral("01/01/%1").arg(yy, 2, 10, QLatin1Char('0'))).toDate().year(),
        year);
}

TEST(StrToDateTest, FollowsAnotherFormat)
{
    FormatGuard guard(QStringLiteral("yyyy-MM-dd"));
    EXPECT_EQ(StrToDate(QStringLiteral("2024-02-29")).toDate(), QDate(2024, 2, 29));
    EXPECT_EQ(DateToStr(TDateTime::fromDate(QDate(2024, 2, 9))), QStringLiteral("2024-02-09"));
    FormatSettings::SetShortDateFormat(QStringLiteral("mm/dd/yyyy"));
    EXPECT_EQ(StrToDate(QStringLiteral("02/29/2024")).toDate(), QDate(2024, 2, 29));
}

// A format that names a part twice, or lacks one, once made the reader write past the end of
// its table of parts (found by fuzzing).
TEST(StrToDateTest, FormatThatRepeatsOrLacksAPartStillReads)
{
    FormatGuard guard(QStringLiteral("dd/MM/yyyy (ddd)"));
    EXPECT_EQ(StrToDate(QStringLiteral("25/12/2024")).toDate(), QDate(2024, 12, 25));
    FormatSettings::SetShortDateFormat(QStringLiteral("yyyy-MM-dd d"));
    EXPECT_EQ(StrToDate(QStringLiteral("2024-12-25")).toDate(), QDate(2024, 12, 25));
    // Without a day (or a month) the format cannot order a date: day, month, year apply.
    FormatSettings::SetShortDateFormat(QStringLiteral("MM/yyyy"));
    EXPECT_EQ(StrToDate(QStringLiteral("25/12/2024")).toDate(), QDate(2024, 12, 25));
    FormatSettings::SetShortDateFormat(QStringLiteral("yyyy"));
    EXPECT_EQ(StrToDate(QStringLiteral("25/12/2024")).toDate(), QDate(2024, 12, 25));
    EXPECT_THROW(StrToDate(QStringLiteral("2024")), EConvertError);
}

TEST(StrToDateTest, BadTextsRaiseConvertErrorNamingTheText)
{
    const QStringList bad{QString(),
                          QStringLiteral("  /  /    "),
                          QStringLiteral("31/02/2024"),
                          QStringLiteral("29/02/2023"),
                          QStringLiteral("00/01/2024"),
                          QStringLiteral("12/13/2024"),
                          QStringLiteral("aa/bb/cccc"),
                          QStringLiteral("1/1/1/1"),
                          QStringLiteral("1-1-2024"),
                          QStringLiteral("01/01/20245"),
                          QStringLiteral("+1/01/2024")};
    for (const QString &text : bad) {
        try {
            StrToDate(text);
            ADD_FAILURE() << "accepted " << text.toStdString();
        } catch (const EConvertError &e) {
            EXPECT_TRUE(e.Message().contains(QLatin1Char('\'') + text + QLatin1Char('\'')))
                << e.Message().toStdString();
        }
    }
}

TEST(ExceptionTest, MessageAndWhatAgree)
{
    const EDatabaseError e(QStringLiteral("Conexão perdida"));
    EXPECT_EQ(e.Message(), QStringLiteral("Conexão perdida"));
    EXPECT_STREQ(e.what(), "Conexão perdida");
    try {
        throw ERemoteError(QStringLiteral("x"));
    } catch (const Exception &caught) {
        EXPECT_EQ(caught.Message(), QStringLiteral("x"));
    }
}

} // namespace
