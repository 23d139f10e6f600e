#include "catalogue/CsvText.h"

namespace vb {

std::vector<CsvRawLine> SplitCsvLines(std::string_view bytes) {
    std::vector<CsvRawLine> lines;
    std::string current;
    bool inQuotes = false;
    int lineNumber = 1;
    int startLine = 1;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
                if (inQuotes) current += c;
                ++i;
            }
            ++lineNumber;
            if (!inQuotes) {
                if (!current.empty()) lines.push_back({std::move(current), startLine, false});
                current.clear();
                startLine = lineNumber;
                continue;
            }
        } else if (c == '"') {
            inQuotes = !inQuotes;
        }
        current += bytes[i];
    }
    if (!current.empty()) lines.push_back({std::move(current), startLine, inQuotes});
    return lines;
}

std::vector<CsvSpan> SplitCsvFields(std::string_view line) {
    std::vector<CsvSpan> spans;
    bool inQuotes = false;
    std::size_t begin = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"') {
            if (inQuotes && i + 1 < line.size() && line[i + 1] == '"') {
                ++i;  // a literal quote inside quotes
            } else {
                inQuotes = !inQuotes;
            }
        } else if (c == ',' && !inQuotes) {
            spans.push_back({begin, i});
            begin = i + 1;
        }
    }
    spans.push_back({begin, line.size()});
    return spans;
}

std::string_view TrimCsvBlanks(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

std::string UnquoteCsvValue(std::string_view trimmed) {
    if (trimmed.size() < 2 || trimmed.front() != '"' || trimmed.back() != '"') return std::string(trimmed);
    const std::string_view inner = trimmed.substr(1, trimmed.size() - 2);
    std::string value;
    value.reserve(inner.size());
    for (std::size_t i = 0; i < inner.size(); ++i) {
        value += inner[i];
        if (inner[i] == '"' && i + 1 < inner.size() && inner[i + 1] == '"') ++i;
    }
    return value;
}

std::string QuoteCsvValue(std::string_view value) {
    if (value.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(value);
    std::string quoted = "\"";
    for (char c : value) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

std::string_view FirstCharacters(std::string_view utf8, std::size_t count) {
    std::size_t pos = 0;
    for (std::size_t n = 0; n < count && pos < utf8.size(); ++n) {
        ++pos;
        while (pos < utf8.size() && (static_cast<unsigned char>(utf8[pos]) & 0xC0) == 0x80) ++pos;
    }
    return utf8.substr(0, pos);
}

std::string PrintableText(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    }
    return out;
}

std::size_t CountCharacters(std::string_view utf8) {
    std::size_t count = 0;
    for (char c : utf8) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
    }
    return count;
}

}  // namespace vb
