// Drives the archive layer for the benchmark script: one backup run (new archive or
// update) or one full extraction, as the backup and restore runs do it.
//
//   archive_bench backup ARCHIVE FOLDER [PASSWORD]   all files below FOLDER
//   archive_bench extract ARCHIVE TARGET [PASSWORD]  every entry below TARGET
//   archive_bench open ARCHIVE [ROUNDS]   opens ARCHIVE for an update ROUNDS times (default
//                                25) and prints the median time of one opening
//   archive_bench join FILE...   the chunks of large files deflated, then the final
//                                block of each found by the block walk and by inflate
#include <libdeflate.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "zip/ArchiveReader.h"
#include "zip/ArchiveWriter.h"
#include "zip/CompressionPipeline.h"
#include "zip/DeflateJoin.h"
#include "util/Error.h"

namespace {

// With VB_BENCH_PHASES set, the time since the previous mark goes to stderr, so a
// run shows where it spends its time.
void Mark(const char* phase) {
    static auto last = std::chrono::steady_clock::now();
    if (!std::getenv("VB_BENCH_PHASES")) return;
    const auto now = std::chrono::steady_clock::now();
    std::fprintf(stderr, "%-10s %7.1f ms\n", phase, std::chrono::duration<double, std::milli>(now - last).count());
    last = now;
}

// Deflates the files in chunks as a backup does, then times the two ways of finding
// each chunk's final block (the step that makes chunks joinable).
int Join(int count, char** files) {
    libdeflate_compressor* compressor = libdeflate_alloc_compressor(6);
    std::vector<std::string> streams;
    std::size_t input = 0;
    for (int i = 0; i < count; ++i) {
        std::ifstream in(files[i], std::ios::binary);
        const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        for (std::size_t at = 0; at < data.size(); at += vb::zip::kChunkSize) {
            const std::size_t n = std::min<std::size_t>(vb::zip::kChunkSize, data.size() - at);
            std::string out(libdeflate_deflate_compress_bound(compressor, n), '\0');
            out.resize(libdeflate_deflate_compress(compressor, data.data() + at, n, out.data(), out.size()));
            streams.push_back(std::move(out));
            input += n;
        }
    }
    libdeflate_free_compressor(compressor);
    const auto time = [&](auto find) {
        const auto start = std::chrono::steady_clock::now();
        std::size_t found = 0;
        for (const std::string& stream : streams) found += find(stream).has_value();
        if (found != streams.size()) std::fprintf(stderr, "a final block was not found\n");
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    const double walk = time(vb::zip::FindFinalBlock);
    const double inflate = time(vb::zip::FindFinalBlockWithZlib);
    std::printf("%zu chunks of %zu MB: block walk %.3f s, inflate %.3f s\n", streams.size(), input >> 20, walk, inflate);
    return 0;
}

// What an update reads before it can register anything: the old directory read into
// its entries and the local headers checked (in the background of the first
// selection, which is not timed here).
int OpenForUpdate(const char* archive, int rounds) {
    std::vector<double> times;
    std::size_t entries = 0;
    for (int i = 0; i < rounds; ++i) {
        vb::ArchiveWriter writer;
        const auto start = std::chrono::steady_clock::now();
        writer.Open(archive);
        entries = writer.Entries().size();
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        writer.Discard();
    }
    std::sort(times.begin(), times.end());
    std::printf("open of %zu entries: median %.2f ms, lowest %.2f ms, %d rounds\n", entries, times[times.size() / 2],
                times.front(), rounds);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Mark("start");
    if (argc >= 3 && std::string(argv[1]) == "join") return Join(argc - 2, argv + 2);
    if (argc >= 3 && std::string(argv[1]) == "open") try {
            return OpenForUpdate(argv[2], argc > 3 ? std::max(1, std::atoi(argv[3])) : 25);
        } catch (const vb::Error& e) {
            std::fprintf(stderr, "%s\n", e.what());
            return 1;
        }
    if (argc < 4) {
        std::fprintf(stderr, "usage: archive_bench backup|extract ARCHIVE FOLDER [PASSWORD]\n");
        return 2;
    }
    const std::string mode = argv[1];
    const std::string password = argc > 4 ? argv[4] : "";
    try {
        if (mode == "backup") {
            vb::ArchiveWriter writer;
            writer.SetPassword(password);
            writer.SetRecurse(true);
            writer.Open(argv[2]);
            Mark("open");
            writer.AddFiles(std::string(argv[3]) + "/*.*");
            Mark("select");
            writer.Save();
            Mark("save");
            writer.Close();
            Mark("close");
        } else if (mode == "extract") {
            vb::ArchiveReader reader;
            reader.SetPassword(password);
            reader.Open(argv[2]);
            reader.SetBaseDirectory(argv[3]);
            std::vector<std::size_t> all(reader.Count());
            for (std::size_t i = 0; i < all.size(); ++i) all[i] = i;
            const std::size_t failed = all.size() - reader.ExtractEntries(all);
            if (failed) {
                std::fprintf(stderr, "%zu entries failed\n", failed);
                return 1;
            }
        } else {
            return 2;
        }
    } catch (const vb::Error& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
