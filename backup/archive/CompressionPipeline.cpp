#include "backup/archive/CompressionPipeline.h"

#include <fcntl.h>
#include <libdeflate.h>
#include <unistd.h>
#include <zlib.h>

#include <cstring>
#include <optional>
#include <stdexcept>

#include "backup/archive/ArchiveDirectory.h"
#include "backup/archive/ZipCrypto.h"

namespace vb::zip {

struct CompressionPipeline::Source {
    SourceInfo Info;
    ~Source() {
        if (Info.Fd >= 0) ::close(Info.Fd);
    }
};

namespace {

struct CompressorDeleter {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

libdeflate_compressor* ThreadCompressor() {
    thread_local std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor(
        libdeflate_alloc_compressor(6));
    return compressor.get();
}

// Walks a raw Deflate stream block by block with zlib's inflate and returns the bit
// position of the first block boundary after `afterBit` (the start of the last block
// when `afterBit` is past every boundary but the stream ends cleanly: then `last`
// receives the start of the final block). Nullopt when the stream is broken.
std::optional<std::uint64_t> NextBoundary(const std::string& stream, std::string& scratch, std::uint64_t afterBit,
                                          std::uint64_t* last) {
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK) return std::nullopt;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stream.data()));
    z.avail_in = static_cast<uInt>(stream.size());
    z.next_out = reinterpret_cast<Bytef*>(scratch.data());
    z.avail_out = static_cast<uInt>(scratch.size());
    std::optional<std::uint64_t> found;
    for (;;) {
        const int rc = inflate(&z, Z_BLOCK);
        if (rc != Z_OK) break;
        if (!(z.data_type & 128)) continue;
        const std::uint64_t at = static_cast<std::uint64_t>(z.total_in) * 8 - (z.data_type & 7);
        if (last && !(z.data_type & 64)) *last = at;
        if (at > afterBit) {
            found = at;
            break;
        }
        if (z.avail_in == 0) break;
    }
    inflateEnd(&z);
    return found;
}

// Turns a complete raw Deflate stream into one that later data can follow: the
// final-block bit of its last block is cleared and an empty stored block ends it on
// a byte boundary (as a sync flush does).
bool MakeJoinable(std::string& stream, std::size_t plainSize) {
    std::string scratch(std::max<std::size_t>(plainSize, 1), '\0');
    std::uint64_t lastBlock = 0;
    NextBoundary(stream, scratch, ~0ull, &lastBlock);
    if (!(static_cast<unsigned char>(stream[lastBlock / 8]) >> (lastBlock % 8) & 1)) return false;
    stream[lastBlock / 8] = static_cast<char>(stream[lastBlock / 8] & ~(1 << (lastBlock % 8)));
    // Now the former last block ends at a block boundary that inflate reports exactly.
    const auto end = NextBoundary(stream, scratch, lastBlock, nullptr);
    if (!end || (*end + 7) / 8 != stream.size()) return false;
    // The padding bits after the block are zero: they hold the 3-bit header of the
    // stored block when there is room, else one more zero byte does.
    const std::uint64_t free = stream.size() * 8 - *end;
    if (free < 3) stream.push_back('\0');
    stream.append("\x00\x00\xFF\xFF", 4);
    return true;
}

// The fallback for a chunk that libdeflate's output could not be joined from: zlib
// ending on a byte boundary with a sync flush.
bool ZlibChunk(const std::string& input, std::string& out) {
    z_stream z{};
    if (deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
    out.resize(deflateBound(&z, input.size()) + 16);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
    z.avail_in = static_cast<uInt>(input.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const bool ok = deflate(&z, Z_SYNC_FLUSH) == Z_OK && z.avail_in == 0;
    out.resize(out.size() - z.avail_out);
    deflateEnd(&z);
    return ok;
}

ChunkResult CompressWhole(int fd, std::uint64_t size, const std::string& password, std::uint16_t dosTime) {
    ChunkResult r;
    std::string input(static_cast<std::size_t>(size), '\0');
    if (size > 0 && !ReadAt(fd, input.data(), input.size(), 0)) return r;
    r.InputSize = size;
    r.Crc32 = size > 0 ? static_cast<std::uint32_t>(libdeflate_crc32(0, input.data(), input.size())) : 0;
    const std::size_t headerSize = password.empty() ? 0 : ZipCrypto::kHeaderSize;
    if (size == 0) {
        r.Stored = true;
    } else {
        r.Data.resize(headerSize + input.size());
        const std::size_t n = libdeflate_deflate_compress(ThreadCompressor(), input.data(), input.size(),
                                                          r.Data.data() + headerSize, input.size());
        if (n == 0) {
            r.Stored = true;
            std::memcpy(r.Data.data() + headerSize, input.data(), input.size());
        } else {
            r.Data.resize(headerSize + n);
        }
    }
    if (!password.empty()) {
        ZipCrypto crypto(password);
        const auto header = crypto.MakeHeader(dosTime);
        r.Data.resize(std::max(r.Data.size(), headerSize));
        std::memcpy(r.Data.data(), header.data(), header.size());
        crypto.Encrypt(reinterpret_cast<unsigned char*>(r.Data.data()) + headerSize, r.Data.size() - headerSize);
    }
    r.Ok = true;
    return r;
}

ChunkResult CompressChunk(int fd, std::uint64_t offset, std::uint64_t length, bool last) {
    ChunkResult r;
    std::string input(static_cast<std::size_t>(length), '\0');
    if (!ReadAt(fd, input.data(), input.size(), offset)) return r;
    r.InputSize = length;
    r.Crc32 = static_cast<std::uint32_t>(libdeflate_crc32(0, input.data(), input.size()));
    // Each chunk is an independent Deflate stream from libdeflate, joined to the next.
    r.Data.resize(libdeflate_deflate_compress_bound(ThreadCompressor(), input.size()));
    const std::size_t n = libdeflate_deflate_compress(ThreadCompressor(), input.data(), input.size(),
                                                      r.Data.data(), r.Data.size());
    if (n == 0) return r;
    r.Data.resize(n);
    r.Ok = last || MakeJoinable(r.Data, input.size()) || ZlibChunk(input, r.Data);
    return r;
}

}  // namespace

CompressionPipeline::CompressionPipeline(std::vector<Job> jobs, std::string passwordBytes, unsigned threads)
    : FJobs(std::move(jobs)), FPassword(std::move(passwordBytes)), FSources(FJobs.size()), FPool(threads) {
    FWindow = 3 * FPool.Size() + 2;
    Plan();
}

CompressionPipeline::~CompressionPipeline() {
    // Tasks still running hold their sources; wait for them before the pool ends.
    for (auto& f : FResults)
        if (f.valid()) f.wait();
}

void CompressionPipeline::Open(std::size_t index) {
    auto source = std::make_shared<Source>();
    SourceInfo& info = source->Info;
    const Job& job = FJobs[index];
    if (job.Folder) {
        if (auto status = platform::StatPath(job.Path, true); status && status->Kind == platform::FileKind::Directory) {
            info.Ok = true;
            info.Status = *status;
        }
    } else {
        const int fd = ::open(job.Path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
        if (fd >= 0) {
            info.Fd = fd;
            auto status = platform::StatFd(fd);
            if (status && status->Kind == platform::FileKind::Regular) {
                info.Ok = true;
                info.Status = *status;
                ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
            }
        }
    }
    if (info.Ok) {
        info.Dos = ToDosDateTime(info.Status.ModifiedTime);
        info.Attributes = platform::WindowsAttributes(info.Status, job.BaseName);
        const std::uint64_t size = job.Folder ? 0 : info.Status.Size;
        info.Whole = size <= kWholeLimit;
        info.ChunkCount = job.Folder || size == 0 ? 0 : info.Whole ? 1 : (size + kChunkSize - 1) / kChunkSize;
    }
    FSources[index] = std::move(source);
}

void CompressionPipeline::Plan() {
    // Files are opened at most kOpenAhead jobs ahead of the writer, so that a folder
    // of many small files never runs out of file descriptors.
    constexpr std::size_t kOpenAhead = 64;
    while (FPlanJob < FJobs.size() && FResults.size() < FWindow && FPlanJob < FReleased + kOpenAhead) {
        if (FPlanJob < FReleased) {
            FPlanJob = FReleased;
            FPlanChunk = 0;
            continue;
        }
        if (!FSources[FPlanJob]) Open(FPlanJob);
        const auto source = FSources[FPlanJob];
        const SourceInfo& info = source->Info;
        if (!info.Ok || FPlanChunk >= info.ChunkCount) {
            ++FPlanJob;
            FPlanChunk = 0;
            continue;
        }
        auto promise = std::make_shared<std::promise<ChunkResult>>();
        FResults.push_back(promise->get_future());
        const std::size_t chunk = FPlanChunk++;
        if (info.Whole) {
            FPool.Submit([source, promise, password = FPassword] {
                promise->set_value(CompressWhole(source->Info.Fd, source->Info.Status.Size, password, source->Info.Dos.Time));
            });
        } else {
            const std::uint64_t offset = chunk * kChunkSize;
            const std::uint64_t length = std::min<std::uint64_t>(kChunkSize, info.Status.Size - offset);
            const bool last = chunk + 1 == info.ChunkCount;
            FPool.Submit([source, promise, offset, length, last] {
                promise->set_value(CompressChunk(source->Info.Fd, offset, length, last));
            });
        }
    }
}

const SourceInfo& CompressionPipeline::Begin(std::size_t index) {
    // Sources before this one are no longer needed.
    for (; FReleased < index; ++FReleased) FSources[FReleased].reset();
    // Releasing moves the open-ahead limit: plan again, or a long run of entries
    // without data (folders, empty files) would leave nothing planned for the next file.
    Plan();
    if (!FSources[index]) Open(index);
    return FSources[index]->Info;
}

ChunkResult CompressionPipeline::TakeChunk() {
    if (FResults.empty()) Plan();
    if (FResults.empty()) throw std::logic_error("CompressionPipeline: no chunk planned for the entry begun");
    ChunkResult r = FResults.front().get();
    FResults.pop_front();
    Plan();
    return r;
}

}  // namespace vb::zip
