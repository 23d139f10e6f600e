#include "zip/EntryDecoder.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <memory>

#include "zip/ArchiveDirectory.h"
#include "zip/EntryCipher.h"
#include "zip/ZipRecords.h"
#include "platform/FileIo.h"

namespace vb::zip {
namespace {

constexpr std::uint64_t kWholeDecodeLimit = 8u << 20;
constexpr std::size_t kReadSize = 256 * 1024;

struct DecompressorDeleter {
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

libdeflate_decompressor* ThreadDecompressor() {
    thread_local std::unique_ptr<libdeflate_decompressor, DecompressorDeleter> d(libdeflate_alloc_decompressor());
    return d.get();
}

class ZlibInflater {
public:
    ZlibInflater() { FReady = inflateInit2(&FStream, -15) == Z_OK; }
    ~ZlibInflater() {
        if (FReady) inflateEnd(&FStream);
    }
    ZlibInflater(const ZlibInflater&) = delete;
    ZlibInflater& operator=(const ZlibInflater&) = delete;
    bool Ready() const { return FReady; }
    z_stream& Stream() { return FStream; }

private:
    z_stream FStream{};
    bool FReady = false;
};

constexpr const char* kReadError = "Das Archiv kann nicht gelesen werden";
constexpr const char* kBadData = "Failed CRC Check";

std::string DecodeData(int fd, std::uint64_t offset, std::uint64_t dataSize, std::uint16_t method,
                       const ArchiveEntry& entry, EntryCipher* cipher,
                       const std::function<bool(std::string_view)>& sink);

}  // namespace

namespace {

// The entry's data behind the fixed part of its local header, `fixed`.
std::optional<EntryData> DataBehind(const unsigned char* fixed, std::uint64_t archiveSize, const ArchiveEntry& entry) {
    std::uint16_t nameLength = 0, extraLength = 0;
    const auto local = LocalFileHeader::ReadFixed(fixed, LocalFileHeader::kFixedSize, nameLength, extraLength);
    if (!local) return std::nullopt;
    EntryData data;
    data.Offset = entry.LocalHeaderOffset + LocalFileHeader::kFixedSize + nameLength + extraLength;
    data.LocalDescriptor = (local->Flags & kFlagDataDescriptor) != 0;
    if (data.Offset > archiveSize || entry.CompressedSize > archiveSize - data.Offset) return std::nullopt;
    return data;
}

}  // namespace

std::optional<EntryData> LocateEntryData(int fd, std::uint64_t archiveSize, const ArchiveEntry& entry) {
    unsigned char fixed[LocalFileHeader::kFixedSize];
    if (entry.LocalHeaderOffset + sizeof fixed > archiveSize || !platform::ReadAt(fd, fixed, sizeof fixed, entry.LocalHeaderOffset))
        return std::nullopt;
    return DataBehind(fixed, archiveSize, entry);
}

std::optional<EntryData> LocalHeaders::Locate(const ArchiveEntry& entry) {
    constexpr std::size_t kFixed = LocalFileHeader::kFixedSize;
    const std::uint64_t at = entry.LocalHeaderOffset;
    if (at > FSize || FSize - at < kFixed) return std::nullopt;
    if (at < FBlockStart || at - FBlockStart > FBlock.size() || FBlock.size() - (at - FBlockStart) < kFixed) {
        FBlock.resize(static_cast<std::size_t>(std::min<std::uint64_t>(kBlock, FSize - at)));
        FBlockStart = at;
        if (!platform::ReadAt(FFd, FBlock.data(), FBlock.size(), at)) {
            FBlock.clear();
            return std::nullopt;
        }
    }
    return DataBehind(FBlock.data() + (at - FBlockStart), FSize, entry);
}

std::string DecodeEntry(int fd, std::uint64_t offset, const ArchiveEntry& entry, EntryCipher* cipher,
                        const std::function<bool(std::string_view)>& sink) {
    const std::uint64_t around = cipher ? cipher->Leading() + cipher->Trailing() : 0;
    if (entry.CompressedSize < around) return "Invalid file - not a PKZip file";
    const std::uint64_t dataSize = entry.CompressedSize - around;
    if (cipher) offset += cipher->Leading();
    const std::uint16_t method = cipher ? cipher->Method(entry) : entry.Method;
    const bool aes = cipher && cipher->IsAes();
    // A changed AES entry may fail anywhere; whatever fails, it is the data that is
    // not authentic.
    const std::string reason = DecodeData(fd, offset, dataSize, method, entry, cipher, sink);
    if (aes && (reason.empty() ? !cipher->Authentic(fd, offset + dataSize) : reason == kBadData))
        return kAuthenticationFailed;
    return reason;
}

namespace {

std::string DecodeData(int fd, std::uint64_t offset, std::uint64_t dataSize, std::uint16_t method,
                       const ArchiveEntry& entry, EntryCipher* cipher,
                       const std::function<bool(std::string_view)>& sink) {
    std::uint32_t crc = 0;
    std::uint64_t produced = 0;
    auto emit = [&](const char* p, std::size_t n) {
        crc = static_cast<std::uint32_t>(libdeflate_crc32(crc, p, n));
        produced += n;
        return sink(std::string_view(p, n));
    };
    if (method == 0) {
        if (dataSize != entry.UncompressedSize) return kBadData;
        std::string buffer(static_cast<std::size_t>(std::min<std::uint64_t>(kReadSize, dataSize)), '\0');
        for (std::uint64_t at = 0; at < dataSize;) {
            const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), dataSize - at));
            if (!platform::ReadAt(fd, buffer.data(), n, offset + at)) return kReadError;
            if (cipher) cipher->Decrypt(reinterpret_cast<unsigned char*>(buffer.data()), n);
            if (!emit(buffer.data(), n)) return kReadError;
            at += n;
        }
    } else if (method == 8 && dataSize <= kWholeDecodeLimit && entry.UncompressedSize <= kWholeDecodeLimit) {
        std::string input(static_cast<std::size_t>(dataSize), '\0');
        if (!platform::ReadAt(fd, input.data(), input.size(), offset)) return kReadError;
        if (cipher) cipher->Decrypt(reinterpret_cast<unsigned char*>(input.data()), input.size());
        std::string output(static_cast<std::size_t>(entry.UncompressedSize), '\0');
        std::size_t actual = 0;
        const auto rc = libdeflate_deflate_decompress(ThreadDecompressor(), input.data(), input.size(),
                                                      output.data(), output.size(), &actual);
        if (rc != LIBDEFLATE_SUCCESS || actual != output.size()) return kBadData;
        if (!emit(output.data(), output.size())) return kReadError;
    } else if (method == 8) {
        ZlibInflater inflater;
        if (!inflater.Ready()) return kReadError;
        z_stream& z = inflater.Stream();
        std::string in(kReadSize, '\0');
        std::string out(kReadSize, '\0');
        std::uint64_t at = 0;
        int rc = Z_OK;
        while (rc != Z_STREAM_END) {
            if (z.avail_in == 0) {
                if (at >= dataSize) return kBadData;  // the stream did not end
                const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(in.size(), dataSize - at));
                if (!platform::ReadAt(fd, in.data(), n, offset + at)) return kReadError;
                if (cipher) cipher->Decrypt(reinterpret_cast<unsigned char*>(in.data()), n);
                at += n;
                z.next_in = reinterpret_cast<Bytef*>(in.data());
                z.avail_in = static_cast<uInt>(n);
            }
            z.next_out = reinterpret_cast<Bytef*>(out.data());
            z.avail_out = static_cast<uInt>(out.size());
            rc = inflate(&z, Z_NO_FLUSH);
            if (rc != Z_OK && rc != Z_STREAM_END) return kBadData;
            const std::size_t n = out.size() - z.avail_out;
            if (produced + n > entry.UncompressedSize) return kBadData;
            if (n > 0 && !emit(out.data(), n)) return kReadError;
        }
    } else {
        return "Cannot extract file - unsupported compression method";
    }
    if (produced != entry.UncompressedSize) return kBadData;
    if ((!cipher || cipher->StoresCrc()) && crc != entry.Crc32) return kBadData;
    return {};
}

}  // namespace

}  // namespace vb::zip
