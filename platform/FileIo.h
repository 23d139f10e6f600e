#pragma once
// Reads and writes that move every byte asked for: the system calls may move fewer
// bytes or be interrupted by a signal, and each caller would otherwise loop itself.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vb::platform {

// The outcome of a full-length read or write. True when every byte moved. A write
// that the system accepts no byte of without naming an error counts as ENOSPC.
struct IoResult {
    int Error = 0;           // the errno value of the call that failed, 0 when none did
    bool EndOfFile = false;  // a read met the end of the file before all bytes came
    std::size_t Done = 0;    // the bytes moved (all of them when true)

    explicit operator bool() const { return Error == 0 && !EndOfFile; }
};

// Reads `size` bytes at `offset` into `buffer`, leaving the file position alone.
[[nodiscard]] IoResult ReadAt(int fd, void* buffer, std::size_t size, std::uint64_t offset);
// Writes all of `bytes` at the file position (which moves on by what was written).
[[nodiscard]] IoResult WriteAll(int fd, std::string_view bytes);
// Writes all of `bytes` at `offset`, leaving the file position alone.
[[nodiscard]] IoResult WriteAt(int fd, std::string_view bytes, std::uint64_t offset);
// Appends what is left to read from the file position to `out`: up to the end of
// the file, or until `out` holds more than `limit` bytes. `Done` counts the bytes
// appended, also when a read failed.
IoResult ReadToEnd(int fd, std::string& out, std::size_t limit = SIZE_MAX);

}  // namespace vb::platform
