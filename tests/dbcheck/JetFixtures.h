#pragma once
// The real Jet databases of the test fixtures, and databases with a chosen password
// made from them by rewriting the password field of page 0.
#include <cstring>
#include <filesystem>
#include <string>

#include "dbcheck/JetHeader.h"
#include "support/TempDir.h"
#include "util/CodePage.h"
#include "util/Utf8.h"

namespace vb::test {

inline std::filesystem::path JetFixture(const std::string& name) {
    return std::filesystem::path(VB_FIXTURES_DIR) / "jet" / name;
}

// A writable copy of `fixture` (the fixtures stay as they are in the repository).
inline void CopyJetFixture(const std::string& fixture, const std::filesystem::path& target) {
    WriteFile(target, ReadFile(JetFixture(fixture)));
}

// Copies `fixture` to `target` with its password field set to `password` (UTF-8):
// Jet 3 stores Windows-1252 bytes, Jet 4 UTF-16LE masked with the creation day.
inline void WriteJetWithPassword(const std::string& fixture, const std::filesystem::path& target,
                                 const std::string& password) {
    std::string file = ReadFile(JetFixture(fixture));
    const bool jet4 = file.at(0x14) == 1;
    const JetVersion version = jet4 ? JetVersion::Jet4 : JetVersion::Jet3;
    const std::size_t fieldLength = jet4 ? 40 : 20;
    ScrambleJetHeader(file, version);
    std::string field = jet4 ? utf8::toUtf16le(password) : encodeLossy(kAnsiCodePage, password);
    field.resize(fieldLength, '\0');
    if (jet4) {
        double created = 0;
        std::memcpy(&created, file.data() + 0x72, sizeof created);
        const auto days = static_cast<std::uint32_t>(created);
        for (std::size_t i = 0; i < field.size(); ++i) field[i] = static_cast<char>(field[i] ^ (days >> (8 * (i % 4))));
    }
    file.replace(0x42, fieldLength, field);
    ScrambleJetHeader(file, version);
    WriteFile(target, file);
}

}  // namespace vb::test
