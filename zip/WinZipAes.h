#pragma once
// WinZip AES encryption of entries (AE-1 and AE-2): the compression method in the
// headers is 99, an extra field 0x9901 names the real method, the AES strength and the
// version. An entry's data is the salt, a 2-byte password verifier, the encrypted
// (compressed) data and a 10-byte authentication code. The keys come from the
// password and the salt through PBKDF2-HMAC-SHA1 with 1000 iterations; the data is
// encrypted with AES in counter mode (a little-endian block counter from 1), and the
// authentication code is the first 10 bytes of HMAC-SHA1 over the encrypted data.
// AE-2 entries store no CRC (0): the authentication code stands in for it.
//
// Cipher, key derivation and HMAC are OpenSSL's libcrypto; nothing here encrypts by
// hand.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace vb::zip {

inline constexpr std::uint16_t kMethodAes = 99;
inline constexpr std::uint16_t kAesExtraId = 0x9901;

struct AesField {
    std::uint16_t Version = 2;  // 1: AE-1 (CRC stored), 2: AE-2 (no CRC)
    std::uint8_t Strength = 3;  // 1: 128, 2: 192, 3: 256 bits
    std::uint16_t Method = 0;   // the compression method of the data
};

// The 0x9901 field in `extra` (a run of extra fields), or nullopt when there is none
// or it is malformed (wrong size, vendor other than "AE", unknown strength).
std::optional<AesField> FindAesField(std::string_view extra);
// The complete 0x9901 field (id, length, data) for `field`.
std::string MakeAesField(const AesField& field);

class WinZipAes {
public:
    static constexpr std::size_t kVerifierSize = 2;
    static constexpr std::size_t kAuthCodeSize = 10;
    // Salt bytes for a strength (8, 12 or 16); 0 for an unknown one.
    static std::size_t SaltSize(std::uint8_t strength);
    // Salt, verifier and authentication code together: what encryption adds to the data.
    static std::size_t Overhead(std::uint8_t strength) { return SaltSize(strength) + kVerifierSize + kAuthCodeSize; }

    // Derives the keys of one entry from the password's bytes and the entry's salt
    // (SaltSize(strength) bytes). Throws vb::Error when libcrypto fails.
    WinZipAes(std::string_view password, std::string_view salt, std::uint8_t strength);
    ~WinZipAes();
    WinZipAes(WinZipAes&&) noexcept;
    WinZipAes& operator=(WinZipAes&&) noexcept;

    // The 2 bytes that a reader compares before decrypting.
    std::array<unsigned char, kVerifierSize> Verifier() const { return FVerifier; }

    // Encrypts or decrypts `size` bytes in place, continuing where the last call
    // ended; both feed the authentication code with the encrypted bytes.
    void Encrypt(unsigned char* data, std::size_t size);
    void Decrypt(unsigned char* data, std::size_t size);
    // The authentication code of everything encrypted or decrypted so far. Ends the
    // entry: no more data may follow.
    std::array<unsigned char, kAuthCodeSize> AuthCode();

    // A fresh random salt for `strength`.
    static std::string RandomSalt(std::uint8_t strength);

private:
    void Crypt(unsigned char* data, std::size_t size);
    struct State;
    std::unique_ptr<State> FState;
    std::array<unsigned char, kVerifierSize> FVerifier{};
};

}  // namespace vb::zip
