#include "util/Utf8.h"

namespace vb::utf8 {

std::optional<char32_t> next(std::string_view text, std::size_t& pos) {
    if (pos >= text.size()) return std::nullopt;
    const auto b0 = static_cast<unsigned char>(text[pos]);
    if (b0 < 0x80) {
        ++pos;
        return b0;
    }
    int length;
    char32_t cp;
    char32_t minimum;
    if ((b0 & 0xE0) == 0xC0) {
        length = 2, cp = b0 & 0x1F, minimum = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        length = 3, cp = b0 & 0x0F, minimum = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        length = 4, cp = b0 & 0x07, minimum = 0x10000;
    } else {
        return std::nullopt;
    }
    if (pos + length > text.size()) return std::nullopt;
    for (int i = 1; i < length; ++i) {
        const auto b = static_cast<unsigned char>(text[pos + i]);
        if ((b & 0xC0) != 0x80) return std::nullopt;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
    pos += length;
    return cp;
}

bool isValid(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (static_cast<unsigned char>(text[pos]) < 0x80) {
            ++pos;
            continue;
        }
        if (!next(text, pos)) return false;
    }
    return true;
}

bool isAscii(std::string_view text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

void append(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

namespace {
void appendUnit(std::string& out, char16_t unit) {
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>(unit >> 8);
}
}  // namespace

std::string toUtf16le(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    std::size_t pos = 0;
    while (pos < text.size()) {
        char32_t cp = 0xFFFD;
        if (auto decoded = next(text, pos)) {
            cp = *decoded;
        } else {
            ++pos;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            appendUnit(out, static_cast<char16_t>(0xD800 | (cp >> 10)));
            appendUnit(out, static_cast<char16_t>(0xDC00 | (cp & 0x3FF)));
        } else {
            appendUnit(out, static_cast<char16_t>(cp));
        }
    }
    return out;
}

std::string fromUtf16le(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() / 2);
    auto unitAt = [&](std::size_t i) {
        return static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                     (static_cast<unsigned char>(bytes[i + 1]) << 8));
    };
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char32_t cp = unitAt(i);
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 3 < bytes.size()) {
            const char16_t low = unitAt(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        if (cp >= 0xD800 && cp <= 0xDFFF) cp = 0xFFFD;
        append(out, cp);
    }
    return out;
}

}  // namespace vb::utf8
