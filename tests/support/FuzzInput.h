#pragma once
// What the fuzz targets share: a folder of their own for files they write, made once
// per process and removed when it ends, and the input written to a file there.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "support/TempDir.h"

namespace vb::test {

inline const std::filesystem::path& FuzzFolder() {
    static const TempDir folder;
    return folder.Path();
}

// Writes the fuzzer's input to `name` in FuzzFolder() and returns the file's path.
inline std::filesystem::path WriteFuzzInput(const std::string& name, const std::uint8_t* data, std::size_t size) {
    const auto file = FuzzFolder() / name;
    WriteFile(file, std::string(reinterpret_cast<const char*>(data), size));
    return file;
}

}  // namespace vb::test
