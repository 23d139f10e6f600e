#pragma once
// The two 8-bit code pages of the German-language systems the program serves:
// Windows-1252 stands for the ANSI code page (CSV files, passwords, ZIP names with
// host byte 11) and CP850 for the OEM code page (ZIP names with host byte 0).
// Texts on our side are UTF-8.
#include <optional>
#include <string>
#include <string_view>

namespace vb {

enum class CodePage { Windows1252, Cp850 };

inline constexpr CodePage kAnsiCodePage = CodePage::Windows1252;
inline constexpr CodePage kOemCodePage = CodePage::Cp850;

// The bytes of `utf8` when every character exists in the code page, without any
// substitution; nullopt otherwise (also for text that is not valid UTF-8).
std::optional<std::string> encodeExact(CodePage page, std::string_view utf8);

// Like encodeExact, but a character the page lacks may be replaced by a similar one:
// a letter loses its accents (by canonical decomposition) and typographic quotes,
// dashes and spaces become their plain ASCII forms. Nullopt when some character still
// has no replacement.
std::optional<std::string> encodeBestFit(CodePage page, std::string_view utf8);

// The bytes of `utf8` with every character the page lacks (and every invalid byte)
// replaced by the page's default character '?'.
std::string encodeLossy(CodePage page, std::string_view utf8);

// UTF-8 of 8-bit text; every byte has a character, so this never fails.
std::string decode(CodePage page, std::string_view bytes);

}  // namespace vb
