#include "zip/EntryCipher.h"

#include <cstring>
#include <functional>
#include <utility>
#include <vector>

#include "zip/EntryDecoder.h"
#include "platform/FileIo.h"
#include "util/CodePage.h"

namespace vb::zip {
namespace {

// The byte strings a password may have been encrypted with, most likely first.
std::vector<std::string> Candidates(const std::string& password, bool utf8First) {
    const std::string ansi = encodeBestFit(kAnsiCodePage, password).value_or(encodeLossy(kAnsiCodePage, password));
    std::vector<std::string> out = utf8First
                                       ? std::vector<std::string>{password, ansi}
                                       : std::vector<std::string>{ansi, encodeLossy(kAnsiCodePage, password), password};
    std::vector<std::string> unique;
    for (std::string& bytes : out) {
        bool seen = false;
        for (const std::string& u : unique) seen = seen || u == bytes;
        if (!seen) unique.push_back(std::move(bytes));
    }
    return unique;
}

// The check before the data is short (one byte, or two for AES), so a wrong encoding
// of the right password passes it now and then. When more than one encoding passes,
// the one that decodes the whole entry is taken; otherwise the first. `open` gives a
// fresh cipher for the bytes when they pass the check.
EntryCipher::Match Choose(int fd, const EntryData& data, const ArchiveEntry& entry,
                          const std::vector<std::string>& candidates, std::optional<EntryCipher>& cipher,
                          const std::function<std::optional<EntryCipher>(const std::string&)>& open) {
    std::vector<std::pair<const std::string*, std::optional<EntryCipher>>> passing;
    for (const std::string& bytes : candidates) {
        if (auto found = open(bytes)) passing.emplace_back(&bytes, std::move(found));
    }
    if (passing.empty()) return EntryCipher::Match::No;
    std::size_t chosen = 0;
    if (passing.size() > 1) {
        for (std::size_t i = 0; i < passing.size(); ++i) {
            std::optional<EntryCipher> trial = open(*passing[i].first);
            if (DecodeEntry(fd, data.Offset, entry, &*trial, [](std::string_view) { return true; }).empty()) {
                chosen = i;
                break;
            }
        }
    }
    cipher = std::move(passing[chosen].second);
    return EntryCipher::Match::Yes;
}

}  // namespace

unsigned char TraditionalCheckByte(const ArchiveEntry& entry, const EntryData& data) {
    return data.LocalDescriptor ? static_cast<unsigned char>(entry.DosTime >> 8)
                                : static_cast<unsigned char>(entry.Crc32 >> 24);
}

EntryCipher::Match EntryCipher::Find(int fd, const EntryData& data, const ArchiveEntry& entry,
                                     const std::string& password, std::optional<EntryCipher>& cipher) {
    cipher.reset();
    if (entry.Method == kMethodAes) {
        const auto field = FindAesField(entry.CentralExtra);
        if (!field) return Match::Damaged;
        const std::size_t saltSize = WinZipAes::SaltSize(field->Strength);
        if (entry.CompressedSize < WinZipAes::Overhead(field->Strength)) return Match::Damaged;
        std::string head(saltSize + WinZipAes::kVerifierSize, '\0');
        if (!platform::ReadAt(fd, head.data(), head.size(), data.Offset)) return Match::Damaged;
        const std::string_view salt(head.data(), saltSize);
        return Choose(fd, data, entry, Candidates(password, true), cipher, [&](const std::string& bytes) {
            std::optional<EntryCipher> found;
            WinZipAes aes(bytes, salt, field->Strength);
            if (std::memcmp(aes.Verifier().data(), head.data() + saltSize, WinZipAes::kVerifierSize) == 0) {
                found.emplace();
                found->FAes.emplace(std::move(aes));
                found->FField = *field;
            }
            return found;
        });
    }
    unsigned char header[ZipCrypto::kHeaderSize];
    if (entry.CompressedSize < sizeof header || !platform::ReadAt(fd, header, sizeof header, data.Offset))
        return Match::Damaged;
    const unsigned char check = TraditionalCheckByte(entry, data);
    return Choose(fd, data, entry, Candidates(password, false), cipher, [&](const std::string& bytes) {
        std::optional<EntryCipher> found;
        ZipCrypto candidate(bytes);
        unsigned char copy[sizeof header];
        std::memcpy(copy, header, sizeof header);
        candidate.Decrypt(copy, sizeof copy);
        if (copy[11] == check) {
            found.emplace();
            found->FTraditional.emplace(candidate);
        }
        return found;
    });
}

std::uint64_t EntryCipher::Leading() const {
    return FAes ? WinZipAes::SaltSize(FField.Strength) + WinZipAes::kVerifierSize : ZipCrypto::kHeaderSize;
}

void EntryCipher::Decrypt(unsigned char* data, std::size_t size) {
    if (FAes)
        FAes->Decrypt(data, size);
    else
        FTraditional->Decrypt(data, size);
}

bool EntryCipher::Authentic(int fd, std::uint64_t offset) {
    if (!FAes) return true;
    unsigned char stored[WinZipAes::kAuthCodeSize];
    if (!platform::ReadAt(fd, stored, sizeof stored, offset)) return false;
    const auto computed = FAes->AuthCode();
    return std::memcmp(stored, computed.data(), sizeof stored) == 0;
}

}  // namespace vb::zip
