#include "backup/archive/CompressionPipeline.h"

#include <fcntl.h>
#include <libdeflate.h>
#include <unistd.h>
#include <zlib.h>

#include <cstring>

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

// A raw zlib deflate stream that ends itself.
class ZlibDeflater {
public:
    ZlibDeflater() {
        if (deflateInit2(&FStream, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) == Z_OK) FReady = true;
    }
    ~ZlibDeflater() {
        if (FReady) deflateEnd(&FStream);
    }
    ZlibDeflater(const ZlibDeflater&) = delete;
    ZlibDeflater& operator=(const ZlibDeflater&) = delete;

    // Compresses `input` after `dictionary`; ends with Z_FINISH when `last`, else on
    // a byte boundary (sync flush) so that the next chunk can follow directly.
    bool Run(const unsigned char* dictionary, std::size_t dictionarySize, const unsigned char* input,
             std::size_t size, bool last, std::string& out) {
        if (!FReady) return false;
        if (dictionarySize > 0 && deflateSetDictionary(&FStream, dictionary, static_cast<uInt>(dictionarySize)) != Z_OK)
            return false;
        out.resize(deflateBound(&FStream, size) + 16);
        FStream.next_in = const_cast<unsigned char*>(input);
        FStream.avail_in = static_cast<uInt>(size);
        FStream.next_out = reinterpret_cast<unsigned char*>(out.data());
        FStream.avail_out = static_cast<uInt>(out.size());
        const int rc = deflate(&FStream, last ? Z_FINISH : Z_SYNC_FLUSH);
        if (last ? rc != Z_STREAM_END : (rc != Z_OK || FStream.avail_in != 0)) return false;
        out.resize(out.size() - FStream.avail_out);
        return true;
    }

private:
    z_stream FStream{};
    bool FReady = false;
};

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
    const std::uint64_t dictionary = std::min<std::uint64_t>(offset, 32768);
    std::string input(static_cast<std::size_t>(dictionary + length), '\0');
    if (!ReadAt(fd, input.data(), input.size(), offset - dictionary)) return r;
    const auto* bytes = reinterpret_cast<const unsigned char*>(input.data());
    r.InputSize = length;
    r.Crc32 = static_cast<std::uint32_t>(libdeflate_crc32(0, bytes + dictionary, static_cast<std::size_t>(length)));
    ZlibDeflater deflater;
    r.Ok = deflater.Run(bytes, static_cast<std::size_t>(dictionary), bytes + dictionary,
                        static_cast<std::size_t>(length), last, r.Data);
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
    if (!FSources[index]) Open(index);
    return FSources[index]->Info;
}

ChunkResult CompressionPipeline::TakeChunk() {
    ChunkResult r = FResults.front().get();
    FResults.pop_front();
    Plan();
    return r;
}

}  // namespace vb::zip
