#include "util/CodePage.h"

#include <algorithm>
#include <array>

#include "util/CodePageTables.h"
#include "util/Utf8.h"

namespace vb {
namespace {

const char32_t* tableOf(CodePage page) {
    return page == CodePage::Windows1252 ? codepage_tables::kWindows1252
                                         : codepage_tables::kCp850;
}

// Reverse lookup, built once per code page: code points sorted with their byte.
struct ReverseTable {
    std::array<std::pair<char32_t, unsigned char>, 256> entries;
    explicit ReverseTable(const char32_t* table) {
        for (int b = 0; b < 256; ++b) entries[b] = {table[b], static_cast<unsigned char>(b)};
        std::sort(entries.begin(), entries.end());
    }
    std::optional<char> find(char32_t cp) const {
        auto it = std::lower_bound(entries.begin(), entries.end(), std::make_pair(cp, static_cast<unsigned char>(0)));
        if (it == entries.end() || it->first != cp) return std::nullopt;
        return static_cast<char>(it->second);
    }
};

// Whether the code page keeps the 128 ASCII characters as they are: then ASCII text
// is the same in the code page and in UTF-8, and needs no conversion.
bool keepsAscii(CodePage page) {
    static const auto check = [](const char32_t* table) {
        for (char32_t b = 0; b < 0x80; ++b)
            if (table[b] != b) return false;
        return true;
    };
    static const bool ansi = check(codepage_tables::kWindows1252);
    static const bool oem = check(codepage_tables::kCp850);
    return page == CodePage::Windows1252 ? ansi : oem;
}

const ReverseTable& reverseOf(CodePage page) {
    static const ReverseTable ansi(codepage_tables::kWindows1252);
    static const ReverseTable oem(codepage_tables::kCp850);
    return page == CodePage::Windows1252 ? ansi : oem;
}

// The plain form of a character for the best-fit conversion, or 0 when it has none.
char32_t similarCharacter(char32_t cp) {
    switch (cp) {
    case 0x2018: case 0x2019: case 0x201A: case 0x201B: case 0x2032:
        return U'\'';
    case 0x201C: case 0x201D: case 0x201E: case 0x201F: case 0x2033:
        return U'"';
    case 0x2010: case 0x2011: case 0x2012: case 0x2013: case 0x2014: case 0x2015: case 0x2212:
        return U'-';
    case 0x2039:
        return U'<';
    case 0x203A:
        return U'>';
    case 0x00A0: case 0x2002: case 0x2003: case 0x2004: case 0x2005: case 0x2006:
    case 0x2007: case 0x2008: case 0x2009: case 0x200A: case 0x202F:
        return U' ';
    default:
        break;
    }
    const auto* begin = codepage_tables::kAccentFolds;
    const auto* end = begin + codepage_tables::kAccentFoldCount;
    const auto* it = std::lower_bound(begin, end, cp,
                                      [](const codepage_tables::AccentFold& f, char32_t c) { return f.codePoint < c; });
    if (it != end && it->codePoint == cp) return static_cast<char32_t>(it->ascii);
    return 0;
}

template <typename Fallback>
std::optional<std::string> encodeWith(CodePage page, std::string_view utf8, Fallback fallback) {
    if (keepsAscii(page) && utf8::isAscii(utf8)) return std::string(utf8);
    const ReverseTable& reverse = reverseOf(page);
    std::string out;
    out.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const auto cp = utf8::next(utf8, pos);
        if (!cp) return std::nullopt;
        if (auto byte = reverse.find(*cp)) {
            out += *byte;
        } else if (auto replacement = fallback(*cp)) {
            out += *replacement;
        } else {
            return std::nullopt;
        }
    }
    return out;
}

}  // namespace

std::optional<std::string> encodeExact(CodePage page, std::string_view utf8) {
    return encodeWith(page, utf8, [](char32_t) { return std::optional<char>(); });
}

std::optional<std::string> encodeBestFit(CodePage page, std::string_view utf8) {
    return encodeWith(page, utf8, [page](char32_t cp) -> std::optional<char> {
        const char32_t similar = similarCharacter(cp);
        if (similar == 0) return std::nullopt;
        return reverseOf(page).find(similar);
    });
}

std::string encodeLossy(CodePage page, std::string_view utf8) {
    const ReverseTable& reverse = reverseOf(page);
    std::string out;
    out.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const auto cp = utf8::next(utf8, pos);
        if (!cp) {
            ++pos;
            out += '?';
            continue;
        }
        out += reverse.find(*cp).value_or('?');
    }
    return out;
}

std::string decode(CodePage page, std::string_view bytes) {
    if (keepsAscii(page) && utf8::isAscii(bytes)) return std::string(bytes);
    const char32_t* table = tableOf(page);
    std::string out;
    out.reserve(bytes.size());
    for (char c : bytes) utf8::append(out, table[static_cast<unsigned char>(c)]);
    return out;
}

}  // namespace vb
