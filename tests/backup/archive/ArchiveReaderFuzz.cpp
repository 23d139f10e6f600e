// libFuzzer target for the archive reader: every input is opened as an archive, its
// entries listed and extracted below a temporary folder. Errors are expected; crashes,
// hangs, leaks and sanitizer reports are what the fuzzer looks for.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "backup/archive/ArchiveReader.h"
#include "util/Error.h"

namespace {

const std::filesystem::path& WorkFolder() {
    static const std::filesystem::path folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "vbfuzz-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) std::abort();
        return std::filesystem::path(pattern);
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto archive = WorkFolder() / "input.zip";
    const auto target = WorkFolder() / "out";
    {
        std::ofstream out(archive, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    std::filesystem::remove_all(target);
    std::filesystem::create_directories(target);
    vb::ArchiveReader reader;
    reader.OnNeedPassword = [](const std::string& current) { return current.empty() ? std::string("x") : std::string(); };
    try {
        reader.Open(archive.string());
        reader.SetBaseDirectory(target.string());
        for (std::size_t i = 0; i < reader.Count() && i < 64; ++i) {
            const auto& e = reader.Entry(i);
            (void)e.Name.size();
            reader.ExtractAt(i);
        }
    } catch (const vb::Error&) {
    }
    return 0;
}
