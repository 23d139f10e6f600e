#pragma once
// The columns of a CSV table as the program defines them, and the definition text
// that describes them ("NAME:$255,PFAD:$255,DATEIMASKE,SICHERN:!,REKURSIV:!").
#include <string>
#include <string_view>
#include <vector>

namespace vb {

enum class CsvColumnType { String, WideString, Integer, Float, DateTime, Boolean };

struct CsvColumn {
    std::string Name;
    CsvColumnType Type = CsvColumnType::String;
    int Length = 80;       // characters a string value keeps
    int FilePosition = 0;  // which field of a line holds this column
};

// A line holds at most this many fields, and a definition at most this many columns.
inline constexpr int kCsvMaxFields = 120;
// The widths of all columns of a definition added up stay within this.
inline constexpr int kCsvMaxRecordWidth = 2048;

// Reads a definition text. An item "NAME:$255" is a string column of 255
// characters, "NAME:!" a boolean, "NAME" alone a string of 80; a semicolon may stand
// for the colon. A character right after the colon in the range 'A'..'}' makes the
// rest the length of a string column. Throws vb::Error "Invalid field type
// character: c" for an unknown type character (the table adds its file name), and
// for an empty item, too many columns or a record wider than 2048.
std::vector<CsvColumn> ParseCsvDefinition(std::string_view definition);

// The width a column counts against the 2048 limit.
int CsvColumnWidth(const CsvColumn& column);

// True when the two names are equal regardless of ASCII letter case.
bool SameColumnName(std::string_view a, std::string_view b);

}  // namespace vb
