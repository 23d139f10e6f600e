#pragma once
// The file side of a CSV table: the lines of a file decoded to UTF-8, and the lines
// written back as one file.
#include <string>
#include <vector>

namespace vb {

struct CsvFileLine {
    std::string Text;  // UTF-8
    int LineNumber = 1;
};

// The non-empty lines of a file (line ends inside double quotes belong to the line).
// A file whose first line starts with the UTF-8 byte-order mark is read as UTF-8,
// any other as Windows-1252. A missing file gives no lines. Throws vb::Error
// "Can't read CSV file <file>" when reading fails, "CSV string is too long: ..." for
// an overlong line, and "<file>: ..." for invalid UTF-8 and for a double quote left
// open across line ends at the end of the file.
std::vector<CsvFileLine> ReadCsvFile(const std::string& fileName);

// Writes the lines, each ended by CR LF (line ends at the end of a line's text are
// dropped first). When every line fits Windows-1252 the file is written in it without
// a byte-order mark; otherwise the whole file is UTF-8 with the mark, so that no
// character is lost. The new content goes to a temporary file that replaces the old
// one only when complete; on failure the old file stays as it was and vb::Error
// names the file and the reason.
void WriteCsvFile(const std::string& fileName, const std::vector<std::string>& lines);

}  // namespace vb
