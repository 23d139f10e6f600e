#include "zip/CompressionPipelineFinish.h"

#include <zlib.h>

#include <algorithm>
#include <string>
#include <string_view>

#include "zip/WinZipAes.h"
#include "zip/ZipCrypto.h"
#include "platform/FileIo.h"

namespace vb::zip {

bool StoreWhenDeflateDidNotPay(const SourceInfo& info, OutputFile& out, std::uint64_t dataStart, std::uint64_t total,
                               std::uint32_t& crc, bool& stored) {
    stored = false;
    if (out.Position() - dataStart <= total) return true;
    out.TruncateTo(dataStart);
    stored = true;
    std::string buffer(1 << 20, '\0');
    crc = 0;
    for (std::uint64_t at = 0; at < total;) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), total - at));
        if (!platform::ReadAt(info.Fd.Get(), buffer.data(), n, at)) return false;
        crc = static_cast<std::uint32_t>(crc32(crc, reinterpret_cast<const Bytef*>(buffer.data()), static_cast<uInt>(n)));
        out.Write(buffer.data(), n);
        at += n;
    }
    return true;
}

void EncryptWritten(const EntryEncryption& encryption, OutputFile& out, std::uint64_t dataStart, std::uint64_t dataSize,
                    std::uint32_t crc) {
    const std::uint64_t headerStart = dataStart - encryption.Leading();
    if (encryption.Aes()) {
        const std::string salt = WinZipAes::RandomSalt(kAes256);
        WinZipAes aes(encryption.Password, salt, kAes256);
        const auto verifier = aes.Verifier();
        out.PatchAt(headerStart, salt + std::string(verifier.begin(), verifier.end()));
        out.TransformRange(dataStart, dataSize,
                           [&aes](char* p, std::size_t n) { aes.Encrypt(reinterpret_cast<unsigned char*>(p), n); });
        const auto code = aes.AuthCode();
        out.Write(reinterpret_cast<const char*>(code.data()), code.size());
    } else if (encryption.On()) {
        ZipCrypto crypto(encryption.Password);
        const auto header = crypto.MakeHeader(static_cast<std::uint16_t>(crc >> 16));
        out.PatchAt(headerStart, std::string_view(reinterpret_cast<const char*>(header.data()), header.size()));
        out.TransformRange(dataStart, dataSize,
                           [&crypto](char* p, std::size_t n) { crypto.Encrypt(reinterpret_cast<unsigned char*>(p), n); });
    }
}

}  // namespace vb::zip
