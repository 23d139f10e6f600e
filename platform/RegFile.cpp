#include "platform/RegFile.h"

#include <cstdio>

#include "util/Utf8.h"

namespace vb::regfile {
namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    return LowerAscii(c) - 'a' + 10;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

// Reads a quoted text starting at s[pos] == '"', undoing \\ and \". Advances pos past
// the closing quote. Nullopt for any other escape or a missing closing quote.
std::optional<std::string> ReadQuoted(std::string_view s, std::size_t& pos) {
    if (pos >= s.size() || s[pos] != '"') return std::nullopt;
    std::string out;
    for (std::size_t i = pos + 1; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '"') {
            pos = i + 1;
            return out;
        }
        if (c == '\\') {
            if (i + 1 >= s.size() || (s[i + 1] != '\\' && s[i + 1] != '"')) return std::nullopt;
            out += s[++i];
        } else {
            out += c;
        }
    }
    return std::nullopt;
}

std::string Escape(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out;
}

// Bytes of "hex:..." / "hex(N):..." data; nullopt when malformed. `type` receives N
// (3 for plain "hex:").
std::optional<std::string> ParseHex(std::string_view data, int* type) {
    int kind = 3;
    std::string_view rest;
    if (data.substr(0, 4) == "hex:") {
        rest = data.substr(4);
    } else if (data.substr(0, 4) == "hex(") {
        const std::size_t close = data.find("):");
        if (close == std::string_view::npos || close == 4) return std::nullopt;
        kind = 0;
        for (char c : data.substr(4, close - 4)) {
            if (!IsHexDigit(c)) return std::nullopt;
            kind = kind * 16 + HexValue(c);
            if (kind > 0xFFFF) return std::nullopt;
        }
        rest = data.substr(close + 2);
    } else {
        return std::nullopt;
    }
    if (type) *type = kind;
    std::string bytes;
    std::size_t i = 0;
    while (i < rest.size()) {
        while (i < rest.size() && (rest[i] == ' ' || rest[i] == '\t')) ++i;
        if (i + 1 >= rest.size() || !IsHexDigit(rest[i]) || !IsHexDigit(rest[i + 1])) return std::nullopt;
        bytes += static_cast<char>(HexValue(rest[i]) * 16 + HexValue(rest[i + 1]));
        i += 2;
        while (i < rest.size() && (rest[i] == ' ' || rest[i] == '\t')) ++i;
        if (i < rest.size()) {
            if (rest[i] != ',') return std::nullopt;
            ++i;
            if (i == rest.size()) return std::nullopt;  // trailing comma
        }
    }
    return bytes;
}

bool IsValidData(std::string_view data) {
    if (!data.empty() && data.front() == '"') {
        std::size_t pos = 0;
        return ReadQuoted(data, pos) && pos == data.size();
    }
    if (data.substr(0, 6) == "dword:") return ParseDword(data).has_value();
    return ParseHex(data, nullptr).has_value();
}

// A logical line with the number of its first physical line.
struct LogicalLine {
    int number;
    std::string text;
};

// The trimmed lines of `text`, joined where a hex value continues with a trailing
// backslash.
std::vector<LogicalLine> LogicalLines(std::string_view text) {
    std::vector<LogicalLine> lines;
    std::string pending;
    int pendingNumber = 0;
    bool continuing = false;
    std::size_t start = 0;
    for (int number = 1; start <= text.size(); ++number) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = Trim(text.substr(start, end - start));
        start = end + 1;
        if (continuing) {
            pending += line;
        } else {
            pending.assign(line);
            pendingNumber = number;
        }
        continuing = !pending.empty() && pending.back() == '\\' && pending.front() != '[' &&
                     pending.find("=hex") != std::string::npos;
        if (continuing) {
            pending.pop_back();
            if (end == text.size()) break;
            continue;
        }
        lines.push_back({pendingNumber, pending});
        if (end == text.size()) break;
    }
    if (continuing) lines.push_back({pendingNumber, pending});
    return lines;
}

}  // namespace

bool NamesEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

Key* Document::FindKey(std::string_view path) {
    for (Key& key : keys) {
        if (NamesEqual(key.path, path)) return &key;
    }
    return nullptr;
}

const Key* Document::FindKey(std::string_view path) const {
    return const_cast<Document*>(this)->FindKey(path);
}

Key& Document::AddKey(std::string_view path) {
    if (Key* key = FindKey(path)) return *key;
    keys.push_back(Key{std::string(path), {}});
    return keys.back();
}

Document ParseLenient(std::string_view text, std::vector<std::string>& problems) {
    problems.clear();
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    const std::vector<LogicalLine> lines = LogicalLines(text);

    Document document;
    Key* current = nullptr;
    bool headerSeen = false;
    auto bad = [&](const LogicalLine& line, const std::string& what) {
        problems.push_back("Zeile " + std::to_string(line.number) + ": " + what);
    };
    for (const LogicalLine& entry : lines) {
        const std::string& line = entry.text;
        if (line.empty() || line.front() == ';') continue;
        if (!utf8::isValid(line)) {
            bad(entry, "kein g\u00FCltiger UTF-8-Text");
            continue;
        }
        if (!headerSeen) {
            headerSeen = true;
            if (line == kHeader) continue;
            problems.push_back("Die erste Zeile ist nicht \"" + std::string(kHeader) + "\"");
        }
        if (line.front() == '[') {
            if (line.back() != ']' || line.size() < 3 || line[1] == '-') {
                bad(entry, "kein g\u00FCltiger Schl\u00FCssel");
                current = nullptr;
                continue;
            }
            current = &document.AddKey(std::string_view(line).substr(1, line.size() - 2));
            continue;
        }
        if (!current) {
            bad(entry, "Wert ohne g\u00FCltigen Schl\u00FCssel");
            continue;
        }
        std::string name;
        std::size_t pos = 0;
        if (line.front() == '@') {
            pos = 1;
        } else {
            auto quoted = ReadQuoted(line, pos);
            if (!quoted) {
                bad(entry, "kein g\u00FCltiger Wertname");
                continue;
            }
            name = *quoted;
        }
        std::string_view rest = Trim(std::string_view(line).substr(pos));
        std::string_view data = rest.empty() ? rest : Trim(rest.substr(1));
        if (rest.empty() || rest.front() != '=' || !IsValidData(data)) {
            bad(entry, "kein g\u00FCltiger Wert");
            continue;
        }
        bool replaced = false;
        for (Value& value : current->values) {
            if (NamesEqual(value.name, name)) {
                value.data = std::string(data);
                replaced = true;
            }
        }
        if (!replaced) current->values.push_back(Value{name, std::string(data)});
    }
    // A file without any line is an empty store, not a damaged one.
    return document;
}

std::optional<Document> Parse(std::string_view text) {
    std::vector<std::string> problems;
    Document document = ParseLenient(text, problems);
    if (!problems.empty()) return std::nullopt;
    return document;
}

std::string Format(const Document& document) {
    std::string out(kHeader);
    out += "\n";
    for (const Key& key : document.keys) {
        out += "\n[" + key.path + "]\n";
        for (const Value& value : key.values) {
            out += value.name.empty() ? std::string("@") : "\"" + Escape(value.name) + "\"";
            out += "=" + value.data + "\n";
        }
    }
    return out;
}

std::string QuoteString(std::string_view utf8) {
    if (utf8.find_first_of(std::string_view("\0\r\n", 3)) == std::string_view::npos) {
        return "\"" + Escape(utf8) + "\"";
    }
    std::string bytes = utf8::toUtf16le(utf8);
    bytes.append(2, '\0');
    std::string out = "hex(1):";
    char buffer[4];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(buffer, sizeof buffer, "%02x", static_cast<unsigned char>(bytes[i]));
        if (i != 0) out += ',';
        out += buffer;
    }
    return out;
}

std::optional<std::string> ParseString(std::string_view data) {
    if (!data.empty() && data.front() == '"') {
        std::size_t pos = 0;
        auto text = ReadQuoted(data, pos);
        if (!text || pos != data.size()) return std::nullopt;
        return text;
    }
    int type = 0;
    auto bytes = ParseHex(data, &type);
    if (!bytes || (type != 1 && type != 2)) return std::nullopt;
    // UTF-16LE up to the first NUL character.
    std::size_t end = 0;
    while (end + 1 < bytes->size() && ((*bytes)[end] != '\0' || (*bytes)[end + 1] != '\0')) end += 2;
    return utf8::fromUtf16le(std::string_view(*bytes).substr(0, end));
}

std::string FormatDword(std::uint32_t value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "dword:%08x", value);
    return buffer;
}

std::optional<std::uint32_t> ParseDword(std::string_view data) {
    if (data.substr(0, 6) == "dword:") {
        std::string_view digits = data.substr(6);
        if (digits.empty() || digits.size() > 8) return std::nullopt;
        std::uint32_t value = 0;
        for (char c : digits) {
            if (!IsHexDigit(c)) return std::nullopt;
            value = value * 16 + static_cast<std::uint32_t>(HexValue(c));
        }
        return value;
    }
    int type = 0;
    auto bytes = ParseHex(data, &type);
    if (!bytes || type != 4 || bytes->size() != 4) return std::nullopt;
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value * 256 + static_cast<unsigned char>((*bytes)[i]);
    return value;
}

}  // namespace vb::regfile
