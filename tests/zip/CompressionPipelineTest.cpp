// Stress cases of the compression pipeline: long runs of entries without data
// (folders, empty files, unreadable files) between files, in every mix, with one and
// with several worker threads; files that one batch of the workers compresses beside
// files it leaves to single tasks. Every file's chunks must arrive in order and decode to
// the file's bytes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <random>
#include <vector>

#include "ArchiveTestSupport.h"
#include "support/OpenWatch.h"
#include "zip/CompressionPipeline.h"

namespace vb::test {
namespace {

namespace fs = std::filesystem;

enum class Kind { File, Empty, Folder, Missing, Large, Medium };

struct Plan {
    const char* name;
    std::vector<Kind> kinds;
};

std::vector<Kind> Repeat(Kind kind, std::size_t n, std::vector<Kind> tail = {}) {
    std::vector<Kind> v(n, kind);
    v.insert(v.end(), tail.begin(), tail.end());
    return v;
}

std::vector<Kind> Mixed(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<Kind> v;
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned r = rng() % 100;
        // Mostly data-less entries in long runs, now and then a file.
        v.push_back(r < 40 ? Kind::Empty : r < 75 ? Kind::Folder : r < 80 ? Kind::Missing : r < 99 ? Kind::File
                                                                                                  : Kind::Large);
    }
    v.push_back(Kind::File);
    return v;
}

std::string Inflate(const std::string& deflated, std::size_t size) {
    std::string out(size, '\0');
    z_stream z{};
    inflateInit2(&z, -15);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(deflated.data()));
    z.avail_in = static_cast<uInt>(deflated.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const int rc = inflate(&z, Z_FINISH);
    inflateEnd(&z);
    return rc == Z_STREAM_END || (rc == Z_BUF_ERROR && z.avail_out == 0) ? out : "<broken>";
}

TEST(PipelineTest, RunsOfEntriesWithoutDataNeverLeaveAFileUnplanned) {
    const std::vector<Plan> plans = {
        {"64 empty files, then a file", Repeat(Kind::Empty, 64, {Kind::File})},
        {"200 empty files, then a file", Repeat(Kind::Empty, 200, {Kind::File})},
        {"300 folders, then a file", Repeat(Kind::Folder, 300, {Kind::File})},
        {"130 unreadable files, then a file", Repeat(Kind::Missing, 130, {Kind::File})},
        {"100 empty files, then a large file", Repeat(Kind::Empty, 100, {Kind::Large, Kind::File})},
        {"mixed 1", Mixed(300, 1)},
        {"mixed 2", Mixed(300, 2)},
        {"mixed 3", Mixed(200, 3)},
        {"files beyond a batch's bytes", Repeat(Kind::Medium, 40, Repeat(Kind::File, 40, {Kind::Large, Kind::File}))},
        {"small and medium files in turn", [] {
             std::vector<Kind> v;
             for (int i = 0; i < 100; ++i) v.push_back(i % 3 == 0 ? Kind::Medium : i % 7 == 0 ? Kind::Missing : Kind::File);
             return v;
         }()},
    };
    TempDir dir;
    std::size_t serial = 0;
    for (const unsigned threads : {1u, 3u}) {
        for (const auto& plan : plans) {
            SCOPED_TRACE(std::string(plan.name) + ", threads " + std::to_string(threads));
            std::vector<zip::CompressionPipeline::Job> jobs;
            std::vector<std::string> contents;
            for (Kind kind : plan.kinds) {
                const fs::path path = dir / ("e" + std::to_string(serial++));
                std::string content;
                if (kind == Kind::Folder) {
                    fs::create_directory(path);
                } else if (kind == Kind::Empty) {
                    MakeFile(path, "");
                } else if (kind == Kind::File || kind == Kind::Large || kind == Kind::Medium) {
                    const std::size_t size = kind == Kind::Large    ? zip::kWholeLimit + 12345
                                             : kind == Kind::Medium ? 150000 + serial
                                                                    : 1000 + serial % 5000;
                    for (std::size_t i = 0; content.size() < size; ++i) content += "Zeile " + std::to_string(i) + "\n";
                    content.resize(size);
                    MakeFile(path, content);
                }
                jobs.push_back({path.string(), kind == Kind::Folder});
                contents.push_back(content);
            }
            zip::CompressionPipeline pipeline(jobs.size(), [&jobs](std::size_t i) { return jobs[i]; }, {}, threads);
            for (std::size_t i = 0; i < jobs.size(); ++i) {
                const zip::SourceInfo& info = pipeline.Begin(i);
                const Kind kind = plan.kinds[i];
                ASSERT_EQ(info.Ok, kind != Kind::Missing) << "entry " << i;
                if (!info.Ok) continue;
                ASSERT_EQ(info.ChunkCount == 0, kind == Kind::Empty || kind == Kind::Folder) << "entry " << i;
                std::string data;
                std::uint32_t crc = 0;
                bool stored = false;
                for (std::size_t k = 0; k < info.ChunkCount; ++k) {
                    zip::ChunkResult r = pipeline.TakeChunk();
                    ASSERT_TRUE(r.Ok) << "entry " << i << " chunk " << k;
                    crc = static_cast<std::uint32_t>(crc32_combine(crc, r.Crc32, static_cast<z_off_t>(r.InputSize)));
                    stored = r.Stored;
                    data += r.Data;
                }
                if (info.ChunkCount == 0) continue;
                const std::string& want = contents[i];
                EXPECT_EQ(crc, static_cast<std::uint32_t>(
                                   ::crc32(0, reinterpret_cast<const Bytef*>(want.data()), static_cast<uInt>(want.size()))))
                    << "entry " << i;
                EXPECT_EQ(stored ? data : Inflate(data, want.size()), want) << "entry " << i;
            }
        }
    }
}

// A file is read only while its path leads to the file that the search found: a link
// that its user points elsewhere after the search leaves the job unreadable, and the
// file it points to now is not even opened.
TEST(PipelineTest, AFileIsReadOnlyWhereTheSearchFoundIt) {
    if (::geteuid() != 0) GTEST_SKIP() << "a link of another user can only be made by root";
    TempDir dir;
    MakeFile(dir / "innen.txt", "inside");
    MakeFile(dir / "geheim.txt", "secret");
    const fs::path link = dir / "verweis.txt";
    fs::create_symlink(dir / "innen.txt", link);
    ASSERT_EQ(::lchown(link.c_str(), 65534, 65534), 0);
    struct stat found {};
    ASSERT_EQ(::stat(link.c_str(), &found), 0);
    const std::string path = link.string();
    const auto firstOf = [&] {
        const zip::CompressionPipeline::Job job{path, false, found.st_dev, found.st_ino};
        zip::CompressionPipeline pipeline(1, [&job](std::size_t) { return job; }, {}, 1);
        return pipeline.Begin(0).Ok;
    };
    EXPECT_TRUE(firstOf());

    fs::remove(link);
    fs::create_symlink(dir / "geheim.txt", link);
    ASSERT_EQ(::lchown(link.c_str(), 65534, 65534), 0);
    const OpenWatch watch((dir / "geheim.txt").string());
    ASSERT_TRUE(watch.Watching());
    if (watch.SeesPathDescriptors()) GTEST_SKIP() << "this kernel reports O_PATH descriptors as opened";
    EXPECT_FALSE(firstOf());
    EXPECT_FALSE(watch.OpenedSince());
}

}  // namespace
}  // namespace vb::test
