#include "dbcheck/JetHeader.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "util/CodePage.h"
#include "util/Utf8.h"

namespace vb {
namespace {

constexpr std::size_t kScrambledStart = 0x18;
constexpr std::size_t kScrambledLengthJet3 = 126;
constexpr std::size_t kScrambledLengthJet4 = 128;
constexpr std::size_t kPasswordOffset = 0x42;
constexpr std::size_t kPasswordLengthJet3 = 20;
constexpr std::size_t kPasswordLengthJet4 = 40;
constexpr std::size_t kCreationDateOffset = 0x72;  // Jet 4 only
constexpr std::size_t kVersionOffset = 0x14;
constexpr std::string_view kEngineName{"Standard Jet DB\0", 16};

// The keystream of RC4 with the fixed header key 0x6B39DAC7 (little-endian bytes).
std::array<unsigned char, kScrambledLengthJet4> HeaderKeystream() {
    static constexpr unsigned char kKey[] = {0xC7, 0xDA, 0x39, 0x6B};
    std::array<unsigned char, 256> s{};
    for (int i = 0; i < 256; ++i) s[i] = static_cast<unsigned char>(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + kKey[i % 4]) & 0xFF;
        std::swap(s[i], s[j]);
    }
    std::array<unsigned char, kScrambledLengthJet4> stream{};
    for (std::size_t n = 0, i = 0, j = 0; n < stream.size(); ++n) {
        i = (i + 1) & 0xFF;
        j = (j + s[i]) & 0xFF;
        std::swap(s[i], s[j]);
        stream[n] = s[(s[i] + s[j]) & 0xFF];
    }
    return stream;
}

std::size_t PageSize(JetVersion version) { return version == JetVersion::Jet3 ? kJet3PageSize : kJet4PageSize; }

}  // namespace

void ScrambleJetHeader(std::string& page, JetVersion version) {
    static const auto kStream = HeaderKeystream();
    const std::size_t length = version == JetVersion::Jet3 ? kScrambledLengthJet3 : kScrambledLengthJet4;
    for (std::size_t n = 0; n < length && kScrambledStart + n < page.size(); ++n) {
        page[kScrambledStart + n] = static_cast<char>(page[kScrambledStart + n] ^ kStream[n]);
    }
}

std::optional<JetHeader> ReadJetHeader(std::string_view page) {
    if (page.size() < kJet3PageSize) return std::nullopt;
    if (page[0] != 0 || page.substr(4, kEngineName.size()) != kEngineName) return std::nullopt;
    const auto versionByte = static_cast<unsigned char>(page[kVersionOffset]);
    if (versionByte > 1) return std::nullopt;
    JetHeader header;
    header.Version = versionByte == 0 ? JetVersion::Jet3 : JetVersion::Jet4;
    if (page.size() < PageSize(header.Version)) return std::nullopt;

    std::string clear(page.substr(0, PageSize(header.Version)));
    ScrambleJetHeader(clear, header.Version);
    if (header.Version == JetVersion::Jet3) {
        std::string field = clear.substr(kPasswordOffset, kPasswordLengthJet3);
        header.StoredPassword = field.substr(0, field.find('\0'));
        return header;
    }

    // Jet 4 masks the password with the whole days of its creation date.
    double created = 0;
    std::memcpy(&created, clear.data() + kCreationDateOffset, sizeof created);
    std::uint32_t days = 0;
    if (std::isfinite(created) && created > 0 && created < 4294967296.0) days = static_cast<std::uint32_t>(created);
    const unsigned char mask[4] = {static_cast<unsigned char>(days), static_cast<unsigned char>(days >> 8),
                                   static_cast<unsigned char>(days >> 16), static_cast<unsigned char>(days >> 24)};
    std::string field = clear.substr(kPasswordOffset, kPasswordLengthJet4);
    for (std::size_t i = 0; i < field.size(); ++i) field[i] = static_cast<char>(field[i] ^ mask[i % 4]);
    if (static_cast<unsigned char>(field[0]) == 0xFF && static_cast<unsigned char>(field[1]) == 0xFE) {
        header.CompressedPassword = true;
        return header;
    }
    for (std::size_t i = 0; i + 1 < field.size(); i += 2) {
        if (field[i] == 0 && field[i + 1] == 0) break;
        header.StoredPassword += field.substr(i, 2);
    }
    return header;
}

bool PasswordMatches(const JetHeader& header, std::string_view password) {
    if (header.CompressedPassword) return false;
    if (header.StoredPassword.empty()) return true;
    if (header.Version == JetVersion::Jet3) {
        const auto bytes = encodeExact(kAnsiCodePage, password);
        return bytes && *bytes == header.StoredPassword;
    }
    if (!utf8::isValid(password)) return false;
    return utf8::toUtf16le(password) == header.StoredPassword;
}

}  // namespace vb
