// The restore page's comparison with the disk: every entry of an archive compared
// with the file at its place below a root (sizes, times, and the CRC-32 of each disk
// file whose size agrees), as the page's worker runs it. The first run warms the page
// cache; the median of the runs after it is printed with the states found.
//
//   compare_bench ARCHIVE ROOT [RUNS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>

#include "zip/ArchiveReader.h"
#include "restore/DiskComparison.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: compare_bench ARCHIVE ROOT [RUNS]\n");
        return 2;
    }
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
    vb::ArchiveReader reader;
    reader.Open(argv[1]);
    vb::DiskComparison::Run(reader.Entries(), argv[2]);  // warms the cache
    std::vector<double> seconds;
    vb::DiskComparison::Result result;
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        result = vb::DiskComparison::Run(reader.Entries(), argv[2]);
        seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(seconds.begin(), seconds.end());
    std::map<std::string, int> counts;
    for (std::size_t i = 0; i < result.States.size(); ++i) {
        if (!reader.Entry(i).IsFolder()) ++counts[vb::DiskStateText(result.States[i])];
    }
    std::printf("compare %zu entries with a warm disk: median %.3f s (%.3f-%.3f, %d runs), goal < 1 s\n",
                reader.Count(), seconds[seconds.size() / 2], seconds.front(), seconds.back(), runs);
    for (const auto& [state, count] : counts) std::printf("  %s: %d\n", state.c_str(), count);
    return 0;
}
