#pragma once
// The text rules of the CSV dialect: lines that a double quote can carry across line
// ends, fields split at commas outside quotes, trimming, unquoting and quoting.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vb {

// Where one field lies in its line: [Begin, End).
struct CsvSpan {
    std::size_t Begin = 0;
    std::size_t End = 0;
};

struct CsvRawLine {
    std::string Text;
    int LineNumber = 1;      // where the line begins in the file, counted from 1
    bool OpenQuote = false;  // the file ended inside double quotes
};

// Splits the raw bytes of a file into lines. CR, LF and CR LF end a line, but only
// outside double quotes: every double quote toggles the in-quotes state. Lines with
// no characters at all are left out.
std::vector<CsvRawLine> SplitCsvLines(std::string_view bytes);

// The fields of a line: a comma outside double quotes ends a field; inside quotes
// two double quotes in a row are one literal quote and do not toggle. A line always
// has at least one field.
std::vector<CsvSpan> SplitCsvFields(std::string_view line);

// The text with leading and trailing spaces and tabs removed.
std::string_view TrimCsvBlanks(std::string_view text);

// A trimmed field of a string column: when it is at least two characters long and
// begins and ends with a double quote, the outer quotes go and each pair of double
// quotes inside becomes one.
std::string UnquoteCsvValue(std::string_view trimmed);

// The field text for a string value: unchanged, or inside double quotes with inner
// quotes doubled when it holds a comma, a double quote, a CR or an LF.
std::string QuoteCsvValue(std::string_view value);

// The first `count` characters of UTF-8 text.
std::string_view FirstCharacters(std::string_view utf8, std::size_t count);

// The text with control characters (which a message box cannot show, and a NUL
// would cut) replaced by '?'.
std::string PrintableText(std::string_view text);

// Number of characters (code points) of UTF-8 text.
std::size_t CountCharacters(std::string_view utf8);

}  // namespace vb
