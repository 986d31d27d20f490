// A saved set's relative period, resolved on a day the test fixes.
#include "reports/RelativePeriod.h"

#include <gtest/gtest.h>

using namespace Velmora::Reports;

namespace {

QDate day(const char *iso)
{
    return QDate::fromString(QLatin1String(iso), Qt::ISODate);
}

TEST(RelativePeriod, ResolvesAgainstTheDayItIsLoaded)
{
    const struct
    {
        RelativePeriod period;
        const char *today, *typedFrom, *typedTo, *from, *to;
    } cases[] = {
        {RelativePeriod::Fixed, "2026-12-09", "2024-01-01", "2024-02-29", "2024-01-01",
         "2024-02-29"},
        {RelativePeriod::PreviousMonth, "2026-12-09", "", "", "2026-11-01", "2026-11-30"},
        {RelativePeriod::PreviousMonth, "2026-01-31", "", "", "2025-12-01", "2025-12-31"},
        {RelativePeriod::PreviousMonth, "2024-03-01", "", "", "2024-02-01", "2024-02-29"},
        {RelativePeriod::PreviousQuarter, "2026-12-09", "", "", "2026-07-01", "2026-09-30"},
        {RelativePeriod::PreviousQuarter, "2026-02-15", "", "", "2025-10-01", "2025-12-31"},
        {RelativePeriod::PreviousQuarter, "2026-04-01", "", "", "2026-01-01", "2026-03-31"},
        {RelativePeriod::YearToDate, "2026-12-09", "", "", "2026-01-01", "2026-12-09"},
        {RelativePeriod::YearToDate, "2026-01-01", "", "", "2026-01-01", "2026-01-01"},
        // The typed days and months, in the year before today's; a month's end stays its end.
        {RelativePeriod::SamePeriodLastYear, "2026-12-09", "2026-11-01", "2026-11-30", "2025-11-01",
         "2025-11-30"},
        {RelativePeriod::SamePeriodLastYear, "2025-06-10", "2024-02-01", "2024-02-29", "2024-02-01",
         "2024-02-29"},
        {RelativePeriod::SamePeriodLastYear, "2026-03-10", "2024-02-01", "2024-02-29", "2025-02-01",
         "2025-02-28"},
        {RelativePeriod::SamePeriodLastYear, "2026-03-10", "2024-02-15", "2024-02-28", "2025-02-15",
         "2025-02-28"},
        {RelativePeriod::SamePeriodLastYear, "2026-03-10", "2025-12-01", "2026-01-31", "2025-12-01",
         "2026-01-31"},
    };
    for (const auto &c : cases) {
        const DateRange r =
            ResolvePeriod(c.period, day(c.today), {day(c.typedFrom), day(c.typedTo)});
        EXPECT_EQ(r.from, day(c.from))
            << RelativePeriodKey(c.period).toStdString() << " " << c.today;
        EXPECT_EQ(r.to, day(c.to)) << RelativePeriodKey(c.period).toStdString() << " " << c.today;
    }
}

TEST(RelativePeriod, KeysRoundTripAndUnknownOnesAreRefused)
{
    for (const RelativePeriod p : RelativePeriods()) {
        RelativePeriod back = RelativePeriod::YearToDate;
        EXPECT_TRUE(RelativePeriodFromKey(RelativePeriodKey(p), back));
        EXPECT_EQ(back, p);
    }
    RelativePeriod unknown;
    EXPECT_FALSE(RelativePeriodFromKey(QStringLiteral("semana_passada"), unknown));
}

} // namespace
