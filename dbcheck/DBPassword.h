#pragma once
// The database password of the Vorlix product. The product keeps it scrambled in the
// current user's registry, HKEY_CURRENT_USER\Software\Vorlix2000, string value DBPWD.
#include <string>
#include <string_view>

namespace vb {

class RegistryStore;

inline constexpr const char* kProductKey = "\\Software\\Vorlix2000";
inline constexpr const char* kPasswordValue = "DBPWD";
// Stored (scrambled) when nothing usable is there yet.
inline constexpr const char* kDefaultDBPassword = "pelnor";
// The message of a text too long for the scrambling key.
inline constexpr const char* kRangeErrorText = "Fehler bei Bereichsprüfung";

// Scrambles and unscrambles (the same call does both): the text in Windows-1252
// (a character that code page lacks becomes '?', at most 255 bytes), each byte XORed
// with the byte of "Marlon Quisty" at the same position, and back to UTF-8. A byte
// equal to the key byte becomes a NUL character inside the result. Throws
// vb::RangeError ("Fehler bei Bereichsprüfung") for more than 13 bytes.
std::string ScrambleText(std::string_view text);

// The clear database password of the product, read anew from `store` on each call.
// A missing, empty or non-string DBPWD is replaced by the scrambled default "pelnor",
// which is then returned. The stored text is read whole, NUL characters inside it
// included, so every password (the default among them) reads back as it was stored. Returns "" when the key can be neither opened nor created.
// A failing second write of the default throws vb::RegistryError; a stored text of
// more than 13 bytes throws vb::RangeError and writes nothing.
std::string GetDBPassword(RegistryStore& store);

}  // namespace vb
