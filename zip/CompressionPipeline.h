#pragma once
// Reads and compresses the new and changed entries of a save on all cores, while the
// writer takes the results strictly in archive order. A file up to kWholeLimit is one
// task (libdeflate on the whole buffer, stored when Deflate does not pay, encrypted
// when a password is set); a larger file is split into chunks that are deflated in
// parallel with libdeflate as independent streams, each but the last made joinable
// (final bit cleared, ended on a byte boundary), so that they form one Deflate stream.
// Deflate is first tried on the start of a file or chunk (kProbeSize): when that does
// not shrink, the file is stored, or the chunk kept as stored blocks of the stream,
// without compressing the rest in vain. Files are opened by the workers in batches of
// consecutive jobs, one task each, which also compress the small whole files among
// them: a folder of many small files costs one hand-off per batch, not per file.
// At most two tasks per worker and one more, and two batches, are ahead of the
// writer, which bounds the memory whatever the number and sizes of the files. What
// follows the chunks of a large file (stored instead, encrypted) is in
// CompressionPipelineFinish.h.
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "zip/DosTime.h"
#include "zip/EntryEncryption.h"
#include "zip/WorkerPool.h"
#include "platform/FileStat.h"
#include "platform/UniqueFd.h"

namespace vb::zip {

inline constexpr std::uint64_t kWholeLimit = 4u << 20;

// Encrypts `data`, whose first encryption.Leading() bytes are kept free for the
// encryption header (or AES salt and verifier), in place; AES appends its
// authentication code. `crc` is the CRC-32 of the plain data.
void EncryptWhole(const EntryEncryption& encryption, std::uint32_t crc, std::string& data);
inline constexpr std::uint64_t kChunkSize = 4u << 20;
// Deflate is tried on this many bytes at the start of a file (and of each chunk of a
// large one) before the rest; data that does not shrink there is stored.
inline constexpr std::size_t kProbeSize = 64u << 10;

struct SourceInfo {
    bool Ok = false;               // opened and examined
    platform::FileStatus Status;   // at the moment it was opened
    DosDateTime Dos;
    std::uint32_t Attributes = 0;
    bool Whole = true;             // one task holds the final data
    std::size_t ChunkCount = 0;
    UniqueFd Fd;                   // open file (for re-reading when Deflate did not pay, and
                                   // for the look after reading); closed early when a
                                   // whole file was read and the job does not keep it open
};

struct ChunkResult {
    bool Ok = false;              // false when reading failed or the file was shorter
    std::string Data;             // compressed (whole: final bytes, encrypted when asked,
                                  // with the encryption's leading and trailing bytes)
    std::uint32_t Crc32 = 0;      // of the chunk's uncompressed bytes
    std::uint64_t InputSize = 0;
    bool Stored = false;          // whole task only: the data is stored, not deflated
};

class CompressionPipeline {
public:
    struct Job {
        std::string Path;
        bool Folder = false;
        std::uint64_t Device = 0;  // identity the file had when it was selected (files
        std::uint64_t Inode = 0;   // only; inode 0: not checked)
        bool KeepOpen = false;     // the writer looks at the file again after it was read
    };

    // Job `index` of `count`, asked for once as its file is opened, on any thread: a
    // pass over many files holds no list of them besides the caller's own.
    using JobList = std::function<Job(std::size_t index)>;

    // Whole files are encrypted as `encryption` says. `threads` 0: one per core.
    CompressionPipeline(std::size_t count, JobList jobs, EntryEncryption encryption, unsigned threads = 0);
    ~CompressionPipeline();

    // Opens (if not yet done) and describes job `index`; jobs are taken in order.
    const SourceInfo& Begin(std::size_t index);
    // The next chunk of the job last begun, in order.
    ChunkResult TakeChunk();

private:
    struct Source;
    void Plan();
    void Open(std::size_t index);
    void SubmitBatch(std::size_t first, std::size_t end);
    std::shared_ptr<Source>& SourceAt(std::size_t index);

    std::size_t FCount;
    JobList FJobs;
    EntryEncryption FEncryption;
    std::deque<std::shared_ptr<Source>> FSources;  // of the jobs from FReleased on
    std::size_t FPlanJob = 0;
    std::size_t FPlanChunk = 0;
    std::size_t FReleased = 0;  // sources below this index are closed
    std::size_t FBegun = 0;     // the job last begun
    std::size_t FBatchEnd = 0;  // jobs below this index have their source
    std::deque<std::future<ChunkResult>> FResults;
    std::size_t FWindow = 5;
    WorkerPool FPool;  // last: its threads end before the members they use
};

}  // namespace vb::zip
