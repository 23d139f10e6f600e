#pragma once
// How the writer encrypts new and changed entries: not at all, with the traditional
// PKWARE cipher (kept for old tools; its keys fall to a known-plaintext attack), or
// with WinZip AES-256 (AE-2).
#include <cstddef>
#include <string>

#include "zip/WinZipAes.h"
#include "zip/ZipCrypto.h"

namespace vb::zip {

enum class EncryptionMethod { ZipCrypto, Aes256 };

inline constexpr std::uint8_t kAes256 = 3;

struct EntryEncryption {
    EncryptionMethod Method = EncryptionMethod::Aes256;
    // The password's bytes: Windows-1252 for ZipCrypto, UTF-8 for AES (as 7-Zip and
    // bsdtar take it). Empty: no encryption.
    std::string Password;

    bool On() const { return !Password.empty(); }
    bool Aes() const { return On() && Method == EncryptionMethod::Aes256; }
    // Bytes before the data (encryption header, or salt and verifier) and behind it
    // (the authentication code).
    std::size_t Leading() const {
        return !On() ? 0 : Aes() ? WinZipAes::SaltSize(kAes256) + WinZipAes::kVerifierSize : ZipCrypto::kHeaderSize;
    }
    std::size_t Trailing() const { return Aes() ? WinZipAes::kAuthCodeSize : 0; }
};

}  // namespace vb::zip
