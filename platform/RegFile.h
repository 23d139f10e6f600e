#pragma once
// The parsed content of a .reg text file: keys in file order, each with its values in
// file order. A value keeps the text right of its '=' exactly as it stands, so values
// the program does not understand are written back unchanged.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vb::regfile {

struct Value {
    std::string name;  // empty for the default value "@"
    std::string data;  // e.g. "dword:00000002", "\"text\"", "hex(7):41,00,..."
};

struct Key {
    std::string path;  // full path, e.g. "HKEY_CURRENT_USER\\Software\\Vorlix-Backup"
    std::vector<Value> values;
};

struct Document {
    std::vector<Key> keys;

    Key* FindKey(std::string_view path);
    const Key* FindKey(std::string_view path) const;
    Key& AddKey(std::string_view path);  // finds or appends
};

// Nullopt when the text is no valid .reg file of ours (missing header, a line that is
// no key, value, comment or continuation, invalid UTF-8).
std::optional<Document> Parse(std::string_view text);
// Keeps what can be parsed: lines that are no valid key, value, comment or
// continuation are left out, each named in `problems` ("Zeile 7: ..."), as is a
// missing header. `problems` is empty exactly when Parse would succeed.
Document ParseLenient(std::string_view text, std::vector<std::string>& problems);
std::string Format(const Document& document);

// Value data <-> typed values.
std::string QuoteString(std::string_view utf8);  // "..." or hex(1):... when needed
std::optional<std::string> ParseString(std::string_view data);  // REG_SZ / REG_EXPAND_SZ
std::string FormatDword(std::uint32_t value);
std::optional<std::uint32_t> ParseDword(std::string_view data);

bool NamesEqual(std::string_view a, std::string_view b);  // ASCII case-insensitive

}  // namespace vb::regfile
