#include "catalogue/CsvColumn.h"

#include <charconv>

#include "util/Error.h"

namespace vb {
namespace {

constexpr int kDefaultLength = 80;

int ParseLength(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < 0) return kDefaultLength;
    return value;
}

bool TypeFromCharacter(char c, CsvColumnType& type) {
    switch (c) {
    case '$': type = CsvColumnType::String; return true;
    case '%': type = CsvColumnType::WideString; return true;
    case '&': type = CsvColumnType::Integer; return true;
    case '#': type = CsvColumnType::Float; return true;
    case '@': type = CsvColumnType::DateTime; return true;
    case '!': type = CsvColumnType::Boolean; return true;
    default: return false;
    }
}

CsvColumn ParseItem(std::string_view item) {
    CsvColumn column;
    std::size_t colon = item.find(':');
    if (colon == std::string_view::npos) colon = item.find(';');
    if (colon == std::string_view::npos) {
        column.Name = std::string(item);
        return column;
    }
    column.Name = std::string(item.substr(0, colon));
    const std::string_view rest = item.substr(colon + 1);
    if (rest.empty()) return column;
    const unsigned char c = static_cast<unsigned char>(rest.front());
    if (c >= 'A' && c <= '}') {
        column.Length = ParseLength(rest);
        return column;
    }
    if (!TypeFromCharacter(rest.front(), column.Type)) {
        throw Error("Invalid field type character: " + std::string(1, rest.front()));
    }
    column.Length = ParseLength(rest.substr(1));
    return column;
}

}  // namespace

int CsvColumnWidth(const CsvColumn& column) {
    switch (column.Type) {
    case CsvColumnType::String: return column.Length;
    case CsvColumnType::WideString: return 2 * column.Length;
    case CsvColumnType::Integer: return 4;
    case CsvColumnType::Float: return 8;
    case CsvColumnType::DateTime: return 8;
    case CsvColumnType::Boolean: return 1;
    }
    return column.Length;
}

std::vector<CsvColumn> ParseCsvDefinition(std::string_view definition) {
    std::vector<CsvColumn> columns;
    int width = 0;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = definition.find(',', start);
        const std::string_view item =
            definition.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
        CsvColumn column = ParseItem(item);
        if (column.Name.empty()) throw Error("Empty field name in field definitions");
        column.FilePosition = static_cast<int>(columns.size());
        width += CsvColumnWidth(column);
        columns.push_back(std::move(column));
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    if (static_cast<int>(columns.size()) > kCsvMaxFields) {
        throw RangeError("Too many fields in field definitions (the limit is 120 columns)");
    }
    if (width > kCsvMaxRecordWidth) throw RangeError("Field definitions exceed the record width of 2048");
    return columns;
}

bool SameColumnName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

}  // namespace vb
