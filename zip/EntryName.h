#pragma once
// Entry names: the stored name made from a disk path, its bytes in the header (OEM,
// ANSI, best fit or UTF-8) and the way names are read back from any archive.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vb::zip {

// Host bytes (high byte of "version made by") that the writer uses.
inline constexpr std::uint8_t kHostMsDos = 0;
inline constexpr std::uint8_t kHostNtfs = 11;
inline constexpr std::uint8_t kHostUnix = 3;
// Further hosts whose names have backslashes between folders.
inline constexpr std::uint8_t kHostHpfs = 6;
inline constexpr std::uint8_t kHostVfat = 14;

// The stored name of a disk path: the leading "/" and any leading "../" (and "./")
// parts are removed, repeated separators are folded, and a folder keeps one trailing
// "/". "/home/a/../b.txt" keeps its inner ".." since it is below the drive.
std::string StoredNameFromPath(std::string_view path, bool folder);

struct EncodedName {
    std::string Bytes;        // as stored in the headers
    std::uint8_t Host = 0;    // kHostMsDos or kHostNtfs; kHostUnix for UTF-8 names
    bool Utf8Flag = false;    // general-purpose bit 11
    std::string UnicodeExtra; // complete 0x7075 field (id, length, data) or empty
};

// The header bytes of a stored name (UTF-8), chosen in this order: exact CP850,
// exact Windows-1252, best-fit CP850, best-fit Windows-1252, UTF-8 with bit 11 (host
// Unix, whose external attributes then carry the Unix mode in their upper half). A
// name with characters above U+007F that is not stored as UTF-8 gets the Info-ZIP
// Unicode Path field. Nullopt when the name is no valid UTF-8.
std::optional<EncodedName> EncodeName(std::string_view storedName);

// The UTF-8 name of a header name: UTF-8 when bit 11 is set; else a Unicode Path
// field (0x7075) whose CRC matches the header bytes; else the bytes when they are
// valid UTF-8 with a non-ASCII character; else an Xceed Unicode field (0x554E); else CP850 for
// host 0 and Windows-1252 for every other host. Always returns valid UTF-8.
// The name is then put into the program's form: a name from MS-DOS, HPFS, NTFS or VFAT
// (hosts 0, 6, 11, 14) has backslashes between its folders, which become "/" (on other
// hosts a backslash is part of the name); and from every host a drive at the start
// ("C:", "C:/" or "C:" and a backslash, any letter A-Z in either case) is dropped. A
// "/" in front stays. Control bytes stay too; logs show them escaped.
std::string DecodeName(std::string_view headerBytes, std::uint16_t flags, std::uint8_t host,
                       std::string_view extra);

// The parts of a stored name, or nullopt when the name is absolute or has an empty,
// "." or ".." part (a folder's trailing "/" is allowed; a leading "./", as bsdtar
// writes it, is passed over) or a control character.
std::optional<std::vector<std::string>> SafeSegments(const std::string& name);
// Whether `segment` would pass as the last part of such a name.
bool IsSafeSegment(std::string_view segment);

}  // namespace vb::zip
