#pragma once
// Traditional PKWARE encryption (APPNOTE 6.1): three 32-bit keys updated per byte.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vb::zip {

class ZipCrypto {
public:
    static constexpr std::size_t kHeaderSize = 12;

    // Keys initialised from the password bytes (already in the ANSI code page).
    explicit ZipCrypto(std::string_view passwordBytes);

    void Encrypt(unsigned char* data, std::size_t size);
    void Decrypt(unsigned char* data, std::size_t size);

    // The encrypted 12-byte header: 10 random bytes from the system, then the low and
    // high byte of `checkWord`: the upper half of the CRC-32 for an entry without data
    // descriptor (what this program writes), the DOS time for one with a descriptor.
    std::array<unsigned char, kHeaderSize> MakeHeader(std::uint16_t checkWord);

private:
    unsigned char StreamByte() const {
        const std::uint32_t t = (FKey2 | 2) & 0xFFFF;
        return static_cast<unsigned char>((t * (t ^ 1)) >> 8);
    }
    void Update(unsigned char plain);

    std::uint32_t FKey0 = 0x12345678;
    std::uint32_t FKey1 = 0x23456789;
    std::uint32_t FKey2 = 0x34567890;
};

}  // namespace vb::zip
