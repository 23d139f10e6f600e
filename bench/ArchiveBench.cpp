// Drives the archive layer for the benchmark script: one backup run (new archive or
// update) or one full extraction, as the backup and restore runs do it.
//
//   archive_bench backup ARCHIVE FOLDER [PASSWORD]   all files below FOLDER
//   archive_bench extract ARCHIVE TARGET [PASSWORD]  every entry below TARGET
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "backup/archive/ArchiveReader.h"
#include "backup/archive/ArchiveWriter.h"
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

}  // namespace

int main(int argc, char** argv) {
    Mark("start");
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
