#include "platform/RegistryWholeString.h"

#include <string_view>

#include "platform/AtomicFile.h"
#include "platform/RegFile.h"
#include "util/Utf8.h"

namespace vb {
namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The bytes of "hex(1):41,00,..." or "hex(2):..." (blanks allowed around commas).
std::optional<std::string> StringBytes(std::string_view data) {
    if (data.substr(0, 7) != "hex(1):" && data.substr(0, 7) != "hex(2):") return std::nullopt;
    std::string bytes;
    int high = -1;
    for (char c : data.substr(7)) {
        if (c == ',' || c == ' ' || c == '\t') {
            if (high >= 0) return std::nullopt;  // a single digit
            continue;
        }
        const int digit = HexDigit(c);
        if (digit < 0) return std::nullopt;
        if (high < 0) {
            high = digit;
        } else {
            bytes += static_cast<char>(high * 16 + digit);
            high = -1;
        }
    }
    if (high >= 0) return std::nullopt;
    return bytes;
}

}  // namespace

std::optional<std::string> ReadWholeString(const RegistryStore& store, RegistryRoot root, const std::string& key,
                                           const std::string& name) {
    std::string text;
    if (!ReadWholeFile(store.Path(), text)) return std::nullopt;
    const auto document = regfile::Parse(text);
    if (!document) return std::nullopt;
    std::string_view relative = key;
    while (!relative.empty() && relative.front() == '\\') relative.remove_prefix(1);
    std::string path = root == RegistryRoot::CurrentUser ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE";
    if (!relative.empty()) path += "\\" + std::string(relative);
    const regfile::Key* found = document->FindKey(path);
    if (!found) return std::nullopt;
    for (const regfile::Value& value : found->values) {
        if (!regfile::NamesEqual(value.name, name)) continue;
        // A quoted string cannot hold a NUL; the store writes such text in hex form.
        if (!value.data.empty() && value.data.front() == '"') return regfile::ParseString(value.data);
        auto bytes = StringBytes(value.data);
        if (!bytes) return std::nullopt;
        if (bytes->size() >= 2 && bytes->substr(bytes->size() - 2) == std::string(2, '\0')) bytes->resize(bytes->size() - 2);
        return utf8::fromUtf16le(*bytes);
    }
    return std::nullopt;
}

}  // namespace vb
