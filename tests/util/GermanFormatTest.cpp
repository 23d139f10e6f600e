#include "util/GermanFormat.h"

#include <gtest/gtest.h>

namespace vb {
namespace {

TEST(GermanFormat, DateAndTimeHaveTwoDigitFields) {
    std::tm t{};
    t.tm_year = 2016 - 1900, t.tm_mon = 9, t.tm_mday = 3, t.tm_hour = 4, t.tm_min = 5, t.tm_sec = 9;
    EXPECT_EQ(FormatShortDate(t), "03.10.2016");
    EXPECT_EQ(FormatLongTime(t), "04:05:09");
}

// Every digit count an int64 can have, so that each remainder of the count by three
// meets the separator logic with and without a sign.
TEST(GermanFormat, ThousandsSeparatorForEveryLength) {
    struct Row {
        std::int64_t value;
        const char* text;
    };
    const Row rows[] = {
        {1, "1"},
        {12, "12"},
        {123, "123"},
        {1234, "1.234"},
        {12345, "12.345"},
        {123456, "123.456"},
        {1234567, "1.234.567"},
        {12345678, "12.345.678"},
        {123456789, "123.456.789"},
        {1234567890, "1.234.567.890"},
        {12345678901, "12.345.678.901"},
        {123456789012, "123.456.789.012"},
        {1234567890123, "1.234.567.890.123"},
        {12345678901234, "12.345.678.901.234"},
        {123456789012345, "123.456.789.012.345"},
        {1234567890123456, "1.234.567.890.123.456"},
        {12345678901234567, "12.345.678.901.234.567"},
        {123456789012345678, "123.456.789.012.345.678"},
        {1234567890123456789, "1.234.567.890.123.456.789"},
        {10, "10"},
        {64947, "64.947"},
        {100000, "100.000"},
        {INT64_MAX, "9.223.372.036.854.775.807"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(FormatThousands(row.value), row.text);
        if (row.value > 0) {
            EXPECT_EQ(FormatThousands(-row.value), std::string("-") + row.text);
        }
    }
}

TEST(GermanFormat, ThousandsSeparator) {
    const std::pair<std::int64_t, const char*> cases[] = {
        {0, "0"}, {999, "999"}, {1000, "1.000"}, {1234567, "1.234.567"}, {-1234, "-1.234"},
        {INT64_MIN, "-9.223.372.036.854.775.808"}};
    for (auto [value, text] : cases) EXPECT_EQ(FormatThousands(value), text);
}

}  // namespace
}  // namespace vb
