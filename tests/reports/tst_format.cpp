#include "ReportTestSupport.h"

#include "reports/ValueFormat.h"

#include <QDate>
#include <gtest/gtest.h>

using namespace Velmora::Reports;

namespace {

const QLocale brazil(QLocale::Portuguese, QLocale::Brazil);

struct NumberCase
{
    double value;
    const char *format;
    const char *shown;
    const char *plain;
};

class NumberFormatTest : public ::testing::TestWithParam<NumberCase>
{
};

// The digit-by-digit writer agrees with the locale's own rounding and grouping.
TEST_P(NumberFormatTest, WritesDigitsGroupsAndDecimals)
{
    const NumberCase &c = GetParam();
    const ValueFormatter f(ColumnType::Number, QString::fromLatin1(c.format), brazil);
    EXPECT_EQ(f.text(c.value), QString::fromLatin1(c.shown));
    QByteArray plain;
    f.appendPlain(plain, c.value);
    EXPECT_EQ(plain, QByteArray(c.plain));
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, NumberFormatTest,
    ::testing::Values(NumberCase{0, "#,##0.00", "0,00", "0,00"},
                      NumberCase{1234567.891, "#,##0.00", "1.234.567,89", "1234567,89"},
                      NumberCase{-1234.5, "#,##0.00", "-1.234,50", "-1234,50"},
                      NumberCase{-0.004, "#,##0.00", "0,00", "0,00"},
                      NumberCase{999.995, "#,##0.00", "1.000,00", "1000,00"},
                      NumberCase{18, "0.0000", "18,0000", "18,0000"},
                      NumberCase{100, "#,##0", "100", "100"},
                      NumberCase{1000, "#,##0", "1.000", "1000"}, NumberCase{0.5, "0", "1", "1"},
                      NumberCase{123456789012.34, "#,##0.00", "123.456.789.012,34",
                                 "123456789012,34"}));

TEST(ValueFormatTest, HugeNumbersFallBackWithoutLosingTheirDigits)
{
    const ValueFormatter f(ColumnType::Number, QStringLiteral("0.00"), brazil);
    QByteArray plain;
    f.appendPlain(plain, 1e17);
    EXPECT_EQ(plain, QByteArray("100000000000000000,00"));
}

TEST(ValueFormatTest, DatesFromEveryDriverShape)
{
    EXPECT_EQ(TypedValue(ColumnType::Date, QStringLiteral("2024-02-29")).toDate(),
              QDate(2024, 2, 29));
    EXPECT_EQ(TypedValue(ColumnType::Date, QStringLiteral("2024-02-29 00:00:00")).toDate(),
              QDate(2024, 2, 29));
    EXPECT_EQ(TypedValue(ColumnType::Date, QDate(2023, 12, 31)).toDate(), QDate(2023, 12, 31));
    EXPECT_TRUE(TypedValue(ColumnType::Date, QStringLiteral("2024-02-30")).isNull());
    EXPECT_TRUE(TypedValue(ColumnType::Date, QStringLiteral("lixo")).isNull());
    EXPECT_TRUE(TypedValue(ColumnType::Date, QVariant()).isNull());
    const ValueFormatter f(ColumnType::Date, QStringLiteral("dd/MM/yyyy"), brazil);
    EXPECT_EQ(f.text(QDate(2024, 1, 5)), QStringLiteral("05/01/2024"));
    const ValueFormatter other(ColumnType::Date, QStringLiteral("yyyy-MM"), brazil);
    EXPECT_EQ(other.text(QDate(2024, 1, 5)), QStringLiteral("2024-01"));
}

} // namespace
