#include "zip/CompressionPipeline.h"

#include <fcntl.h>
#include <libdeflate.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "zip/ArchiveDirectory.h"
#include "zip/DeflateJoin.h"
#include "zip/ZipCrypto.h"
#include "platform/FileIo.h"
#include "platform/PathWalk.h"
#include "util/PathText.h"

namespace vb::zip {

// One job's file as the pipeline knows it. A job opened within a batch is described
// by a worker; `Opened` is ready once `Info` (and `Result`, when `Done`) may be read.
struct CompressionPipeline::Source {
    SourceInfo Info;
    std::shared_future<void> Opened;
    bool Done = false;   // the batch compressed the file already: `Result` is its one task
    ChunkResult Result;
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

// Per-thread buffers that only grow: every task of a worker fills them anew, so no
// task pays for zeroing or for fresh pages. kInput holds a task's file data, kOutput
// the Deflate output before it is copied into the result.
enum ThreadBufferRole { kInput, kOutput };
char* ThreadBuffer(ThreadBufferRole role, std::size_t size) {
    thread_local std::string buffers[2];
    std::string& buffer = buffers[role];
    if (buffer.size() < size) buffer.resize(size);
    return buffer.data();
}

// The fallback for a chunk that libdeflate's output could not be joined from: zlib
// ending on a byte boundary with a sync flush.
bool ZlibChunk(const char* input, std::size_t size, std::string& out) {
    z_stream z{};
    if (deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
    out.resize(deflateBound(&z, size) + 16);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input));
    z.avail_in = static_cast<uInt>(size);
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const bool ok = deflate(&z, Z_SYNC_FLUSH) == Z_OK && z.avail_in == 0;
    out.resize(out.size() - z.avail_out);
    deflateEnd(&z);
    return ok;
}

// Deflates `size` bytes into `out` behind `reserve` zero bytes, unless the result
// would be larger than the input (false, `out` untouched).
bool DeflateIfSmaller(const char* input, std::size_t size, std::string& out, std::size_t reserve) {
    char* buffer = ThreadBuffer(kOutput, size);
    const std::size_t n = libdeflate_deflate_compress(ThreadCompressor(), input, size, buffer, size);
    if (n == 0) return false;
    out.reserve(reserve + n + 8);
    out.resize(reserve);
    out.append(buffer, n);
    return true;
}

// Whether Deflate pays on data that begins like `input`: its first kProbeSize bytes
// must shrink by at least 1/128. Photos, packed files and other random-looking data
// fail at once, so they are stored without being compressed whole first.
bool DeflatePays(const char* input, std::size_t size) {
    if (size <= kProbeSize) return true;  // the whole file is the probe
    char* buffer = ThreadBuffer(kOutput, kProbeSize);
    return libdeflate_deflate_compress(ThreadCompressor(), input, kProbeSize, buffer,
                                       kProbeSize - kProbeSize / 128) != 0;
}

}  // namespace

void EncryptWhole(const EntryEncryption& encryption, std::uint32_t crc, std::string& data) {
    const std::size_t lead = encryption.Leading();
    auto* bytes = reinterpret_cast<unsigned char*>(data.data());
    if (encryption.Aes()) {
        const std::string salt = WinZipAes::RandomSalt(kAes256);
        WinZipAes aes(encryption.Password, salt, kAes256);
        std::memcpy(bytes, salt.data(), salt.size());
        std::memcpy(bytes + salt.size(), aes.Verifier().data(), WinZipAes::kVerifierSize);
        aes.Encrypt(bytes + lead, data.size() - lead);
        const auto code = aes.AuthCode();
        data.append(reinterpret_cast<const char*>(code.data()), code.size());
        return;
    }
    ZipCrypto crypto(encryption.Password);
    // No data descriptor follows: readers check the CRC's high byte.
    const auto header = crypto.MakeHeader(static_cast<std::uint16_t>(crc >> 16));
    std::memcpy(bytes, header.data(), header.size());
    crypto.Encrypt(bytes + lead, data.size() - lead);
}

namespace {

ChunkResult CompressWhole(int fd, std::uint64_t size, const EntryEncryption& encryption) {
    ChunkResult r;
    char* input = ThreadBuffer(kInput, static_cast<std::size_t>(size));
    if (size > 0 && !platform::ReadAt(fd, input, static_cast<std::size_t>(size), 0)) return r;
    r.InputSize = size;
    r.Crc32 = size > 0 ? static_cast<std::uint32_t>(libdeflate_crc32(0, input, static_cast<std::size_t>(size))) : 0;
    const std::size_t headerSize = encryption.Leading();
    if (size == 0 || !DeflatePays(input, static_cast<std::size_t>(size)) ||
        !DeflateIfSmaller(input, static_cast<std::size_t>(size), r.Data, headerSize)) {
        // Stored: equal sizes keep Deflate, so only a deflated result that is larger
        // (libdeflate gives up when it does not fit) or a failed probe lands here.
        r.Stored = true;
        r.Data.reserve(headerSize + size);
        r.Data.assign(headerSize, '\0');
        r.Data.append(input, static_cast<std::size_t>(size));
    }
    if (encryption.On()) EncryptWhole(encryption, r.Crc32, r.Data);
    r.Ok = true;
    return r;
}

// Stored Deflate blocks of at most 65,535 bytes each; the last one is final when
// `last` is set. They begin and end on a byte boundary, so a following chunk can join.
void AppendStoredBlocks(const char* input, std::size_t size, bool last, std::string& out) {
    constexpr std::size_t kMaxStored = 65535;
    out.reserve(out.size() + size + (size / kMaxStored + 1) * 5);
    for (std::size_t at = 0; at < size;) {
        const std::size_t n = std::min(kMaxStored, size - at);
        const bool final = last && at + n == size;
        const unsigned char header[5] = {static_cast<unsigned char>(final ? 1 : 0), static_cast<unsigned char>(n & 0xFF),
                                         static_cast<unsigned char>(n >> 8), static_cast<unsigned char>(~n & 0xFF),
                                         static_cast<unsigned char>((~n >> 8) & 0xFF)};
        out.append(reinterpret_cast<const char*>(header), sizeof header);
        out.append(input + at, n);
        at += n;
    }
}

ChunkResult CompressChunk(int fd, std::uint64_t offset, std::uint64_t length, bool last) {
    ChunkResult r;
    const std::size_t size = static_cast<std::size_t>(length);
    char* input = ThreadBuffer(kInput, size);
    if (!platform::ReadAt(fd, input, size, offset)) return r;
    r.InputSize = length;
    r.Crc32 = static_cast<std::uint32_t>(libdeflate_crc32(0, input, size));
    if (!DeflatePays(input, size)) {
        // A chunk that begins incompressible is kept as stored blocks within the
        // stream; when the whole file is like that, the writer stores it.
        AppendStoredBlocks(input, size, last, r.Data);
        r.Ok = true;
        return r;
    }
    // Each chunk is an independent Deflate stream from libdeflate, joined to the next.
    const std::size_t bound = libdeflate_deflate_compress_bound(ThreadCompressor(), size);
    char* output = ThreadBuffer(kOutput, bound);
    const std::size_t n = libdeflate_deflate_compress(ThreadCompressor(), input, size, output, bound);
    if (n == 0) return r;
    // Room for what making the chunk joinable appends (an empty stored block), so that
    // it never moves the chunk.
    r.Data.reserve(n + 5);
    r.Data.assign(output, n);
    r.Ok = last || MakeJoinable(r.Data) || ZlibChunk(input, size, r.Data);
    return r;
}

}  // namespace

CompressionPipeline::CompressionPipeline(std::size_t count, JobList jobs, EntryEncryption encryption, unsigned threads)
    : FCount(count), FJobs(std::move(jobs)), FEncryption(std::move(encryption)), FPool(threads) {
    // Two tasks for each worker and one more keep every worker busy while the writer
    // takes the results in order (fewer cost time); more would only hold their
    // results, up to a chunk's size each, until the writer comes to them.
    FWindow = 2 * FPool.Size() + 1;
    Plan();
}

std::shared_ptr<CompressionPipeline::Source>& CompressionPipeline::SourceAt(std::size_t index) {
    const std::size_t at = index - FReleased;
    if (at >= FSources.size()) FSources.resize(at + 1);
    return FSources[at];
}

CompressionPipeline::~CompressionPipeline() {
    // Tasks still running hold their sources; wait for them before the pool ends.
    for (auto& f : FResults)
        if (f.valid()) f.wait();
    for (const auto& source : FSources)
        if (source && source->Opened.valid()) source->Opened.wait();
}

namespace {

// Opens and describes one job's file or folder.
void Describe(const CompressionPipeline::Job& job, SourceInfo& info) {
    const std::string& path = job.Path;
    if (job.Folder) {
        if (auto status = platform::StatPath(path, true); status && status->Kind == platform::FileKind::Directory) {
            info.Ok = true;
            info.Status = *status;
        }
    } else {
        // The file that the search found and judged, not one put in its place since.
        platform::FoundFile found = platform::OpenFoundFile(path, job.Device, job.Inode, O_RDONLY | O_NONBLOCK | O_NOCTTY);
        if (found.Fd.Valid()) {
            info.Ok = true;
            info.Status = found.Status;
            info.Fd = std::move(found.Fd);
            // A whole file is one read; a larger one is read in chunks, ahead.
            if (info.Status.Size > kWholeLimit) ::posix_fadvise(info.Fd.Get(), 0, 0, POSIX_FADV_SEQUENTIAL);
        }
    }
    if (info.Ok) {
        info.Dos = ToDosDateTime(info.Status.ModifiedTime);
        info.Attributes = platform::WindowsAttributes(info.Status, LastNameOf(job.Path));
        const std::uint64_t size = job.Folder ? 0 : info.Status.Size;
        info.Whole = size <= kWholeLimit;
        info.ChunkCount = job.Folder || size == 0 ? 0 : info.Whole ? 1 : (size + kChunkSize - 1) / kChunkSize;
    }
}

}  // namespace

void CompressionPipeline::Open(std::size_t index) {
    auto source = std::make_shared<Source>();
    Describe(FJobs(index), source->Info);
    SourceAt(index) = std::move(source);
}

// Jobs from `first` on, at most kBatchJobs, are opened by one worker task, which also
// compresses the whole files among them until kBatchBytes of input: many small files
// then cost one hand-off to the workers instead of one each, and their opening runs
// beside the writer. What the batch leaves (large files, files beyond the byte
// limit) is planned as single tasks once the batch is done.
void CompressionPipeline::SubmitBatch(std::size_t first, std::size_t end) {
    constexpr std::uint64_t kBatchBytes = 1u << 20;
    auto ready = std::make_shared<std::promise<void>>();
    const std::shared_future<void> opened = ready->get_future().share();
    std::vector<std::shared_ptr<Source>> batch;
    for (std::size_t i = first; i < end; ++i) {
        auto source = std::make_shared<Source>();
        source->Opened = opened;
        SourceAt(i) = source;
        batch.push_back(std::move(source));
    }
    FPool.Submit([this, first, batch = std::move(batch), ready, encryption = FEncryption] {
        std::uint64_t bytes = 0;
        for (std::size_t k = 0; k < batch.size(); ++k) {
            Source& source = *batch[k];
            const Job job = FJobs(first + k);
            Describe(job, source.Info);
            const SourceInfo& info = source.Info;
            if (info.Ok && info.Whole && info.ChunkCount == 1 && bytes < kBatchBytes) {
                bytes += info.Status.Size;
                source.Result = CompressWhole(info.Fd.Get(), info.Status.Size, encryption);
                source.Done = true;
                if (!job.KeepOpen) source.Info.Fd.Reset();
            }
        }
        ready->set_value();
    });
}

void CompressionPipeline::Plan() {
    // Files are opened at most kOpenAhead jobs ahead of the writer, so that a folder
    // of many small files never runs out of file descriptors; they are opened in
    // batches of kBatchJobs. Two batches ahead keep both the writer and a worker busy;
    // more would only hold their compressed files longer.
    constexpr std::size_t kOpenAhead = 64;
    constexpr std::size_t kBatchJobs = 32;
    for (FBatchEnd = std::max(FBatchEnd, FReleased); FBatchEnd < FCount;) {
        const std::size_t end = std::min(FCount, FBatchEnd + kBatchJobs);
        if (end > FReleased + kOpenAhead) break;
        SubmitBatch(FBatchEnd, end);
        FBatchEnd = end;
    }
    while (FPlanJob < FCount && FResults.size() < FWindow && FPlanJob < FBatchEnd) {
        if (FPlanJob < FReleased) {
            FPlanJob = FReleased;
            FPlanChunk = 0;
            continue;
        }
        const auto source = SourceAt(FPlanJob);
        // What a batch still opens is planned when it is done; the writer waits for it
        // in Begin.
        if (source->Opened.valid() && source->Opened.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
            return;
        const SourceInfo& info = source->Info;
        if (!info.Ok || source->Done || FPlanChunk >= info.ChunkCount) {
            ++FPlanJob;
            FPlanChunk = 0;
            continue;
        }
        auto promise = std::make_shared<std::promise<ChunkResult>>();
        FResults.push_back(promise->get_future());
        const std::size_t chunk = FPlanChunk++;
        if (info.Whole) {
            FPool.Submit([source, promise, encryption = FEncryption] {
                promise->set_value(CompressWhole(source->Info.Fd.Get(), source->Info.Status.Size, encryption));
            });
        } else {
            const std::uint64_t offset = chunk * kChunkSize;
            const std::uint64_t length = std::min<std::uint64_t>(kChunkSize, info.Status.Size - offset);
            const bool last = chunk + 1 == info.ChunkCount;
            FPool.Submit([source, promise, offset, length, last] {
                promise->set_value(CompressChunk(source->Info.Fd.Get(), offset, length, last));
            });
        }
    }
}

const SourceInfo& CompressionPipeline::Begin(std::size_t index) {
    // Sources before this one are no longer needed.
    for (; FReleased < index; ++FReleased)
        if (!FSources.empty()) FSources.pop_front();
    // Releasing moves the open-ahead limit: plan again, or a long run of entries
    // without data (folders, empty files) would leave nothing planned for the next file.
    Plan();
    if (!SourceAt(index)) {
        Open(index);
        FBatchEnd = std::max(FBatchEnd, index + 1);
    }
    const auto& source = SourceAt(index);
    if (source->Opened.valid()) {
        source->Opened.wait();
        Plan();  // the batch's large files can be planned now
    }
    FBegun = index;
    return source->Info;
}

ChunkResult CompressionPipeline::TakeChunk() {
    // A whole file's one task, taken once.
    if (Source& begun = *SourceAt(FBegun); begun.Done) return std::move(begun.Result);
    if (FResults.empty()) Plan();
    if (FResults.empty()) throw std::logic_error("CompressionPipeline: no chunk planned for the entry begun");
    ChunkResult r = FResults.front().get();
    FResults.pop_front();
    Plan();
    return r;
}

}  // namespace vb::zip
