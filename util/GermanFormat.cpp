#include "util/GermanFormat.h"

#include <cstdio>

namespace vb {

std::string FormatShortDate(const std::tm& local) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%02d.%02d.%04d", local.tm_mday, local.tm_mon + 1,
                  local.tm_year + 1900);
    return buffer;
}

std::string FormatLongTime(const std::tm& local) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
    return buffer;
}

std::string FormatThousands(std::int64_t value) {
    const bool negative = value < 0;
    // Work on the unsigned magnitude so that the smallest value does not overflow.
    std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    std::string digits = std::to_string(magnitude);
    std::string out;
    out.reserve(digits.size() + digits.size() / 3);
    for (std::size_t i = 0; i < digits.size(); ++i) {
        // A separator goes before every digit that has a multiple of three digits after it.
        const std::size_t remaining = digits.size() - i;
        if (i != 0 && remaining % 3 == 0) out += '.';
        out += digits[i];
    }
    return negative ? "-" + out : out;
}

std::tm LocalTime(std::time_t t) {
    std::tm local{};
    localtime_r(&t, &local);
    return local;
}

}  // namespace vb
