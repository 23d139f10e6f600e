#pragma once
// The first page of a Jet 3 or Jet 4 database (.mdb): which engine wrote it and the
// database password stored there. Only page 0 is read; it is never encrypted, even
// in databases whose other pages are.
#include <optional>
#include <string>
#include <string_view>

namespace vb {

enum class JetVersion { Jet3, Jet4 };

struct JetHeader {
    JetVersion Version = JetVersion::Jet3;
    // The stored password, empty for a database without one. Jet 3: bytes in the
    // database's code page; Jet 4: UTF-16LE code units. Both cut at the first NUL.
    std::string StoredPassword;
    // The password field began with FF FE (Jet 4's compressed form), which is not
    // decoded; such a database matches no password.
    bool CompressedPassword = false;
};

// Page size of a Jet 3 database, the least a file must hold to be read.
inline constexpr std::size_t kJet3PageSize = 2048;
inline constexpr std::size_t kJet4PageSize = 4096;

// Reads the header from the first bytes of a file (at least one page). Nullopt when
// they are no Jet 3 or Jet 4 database: too short, page type not 0, engine name not
// "Standard Jet DB", or a version byte other than 0 or 1 (ACE .accdb files, MSISAM).
std::optional<JetHeader> ReadJetHeader(std::string_view page);

// Whether `password` (UTF-8) opens the database. A database without a password
// accepts every password. Otherwise the password must equal the stored one exactly,
// letter case included: for Jet 3 in Windows-1252 bytes (a character that code page
// lacks never matches), for Jet 4 in UTF-16 code units.
bool PasswordMatches(const JetHeader& header, std::string_view password);

// The header area from 0x18 is XOR-scrambled with a fixed RC4 keystream; applying
// this twice gives the page back. Exposed so tests can build databases with a
// password. `page` must hold at least one page of the given version.
void ScrambleJetHeader(std::string& page, JetVersion version);

}  // namespace vb
