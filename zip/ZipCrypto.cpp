#include "zip/ZipCrypto.h"

#include "platform/SecureRandom.h"

namespace vb::zip {
namespace {

struct CrcTable {
    std::uint32_t Values[256];
    CrcTable() {
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            Values[n] = c;
        }
    }
};
const CrcTable kCrc;

inline std::uint32_t CrcByte(std::uint32_t crc, unsigned char b) {
    return kCrc.Values[(crc ^ b) & 0xFF] ^ (crc >> 8);
}

}  // namespace

ZipCrypto::ZipCrypto(std::string_view passwordBytes) {
    for (char c : passwordBytes) Update(static_cast<unsigned char>(c));
}

void ZipCrypto::Update(unsigned char plain) {
    FKey0 = CrcByte(FKey0, plain);
    FKey1 = (FKey1 + (FKey0 & 0xFF)) * 134775813u + 1;
    FKey2 = CrcByte(FKey2, static_cast<unsigned char>(FKey1 >> 24));
}

void ZipCrypto::Encrypt(unsigned char* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        const unsigned char plain = data[i];
        data[i] = plain ^ StreamByte();
        Update(plain);
    }
}

void ZipCrypto::Decrypt(unsigned char* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        const unsigned char plain = data[i] ^ StreamByte();
        data[i] = plain;
        Update(plain);
    }
}

std::array<unsigned char, ZipCrypto::kHeaderSize> ZipCrypto::MakeHeader(std::uint16_t checkWord) {
    std::array<unsigned char, kHeaderSize> header{};
    platform::FillRandom(header.data(), 10);
    header[10] = static_cast<unsigned char>(checkWord & 0xFF);
    header[11] = static_cast<unsigned char>(checkWord >> 8);
    Encrypt(header.data(), header.size());
    return header;
}

}  // namespace vb::zip
