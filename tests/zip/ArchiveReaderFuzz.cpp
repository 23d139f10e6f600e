// libFuzzer target for the archive reader: every input is opened as an archive, its
// entries listed and extracted below a temporary folder. Errors are expected; crashes,
// hangs, leaks and sanitizer reports are what the fuzzer looks for.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "zip/ArchiveReader.h"
#include "support/FuzzInput.h"
#include "util/Error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto archive = vb::test::WriteFuzzInput("input.zip", data, size);
    const auto target = vb::test::FuzzFolder() / "out";
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
