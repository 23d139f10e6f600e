#pragma once
// Byte tables of the two 8-bit code pages the program uses, and the accent folds
// of the best-fit conversion. Only util/CodePage.cpp reads them.
#include <cstddef>

namespace vb::codepage_tables {

extern const char32_t kWindows1252[256];
extern const char32_t kCp850[256];

struct AccentFold {
    char32_t codePoint;
    char ascii;
};
extern const AccentFold kAccentFolds[];
extern const std::size_t kAccentFoldCount;

}  // namespace vb::codepage_tables
