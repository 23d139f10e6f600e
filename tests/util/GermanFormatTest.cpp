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

TEST(GermanFormat, ThousandsSeparator) {
    const std::pair<std::int64_t, const char*> cases[] = {
        {0, "0"}, {999, "999"}, {1000, "1.000"}, {1234567, "1.234.567"}, {-1234, "-1.234"},
        {INT64_MIN, "-9.223.372.036.854.775.808"}};
    for (auto [value, text] : cases) EXPECT_EQ(FormatThousands(value), text);
}

}  // namespace
}  // namespace vb
