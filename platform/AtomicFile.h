#pragma once
// Replaces a file's content atomically: the new content goes to a temporary file in
// the same folder, is flushed to disk and renamed over the old file, so a crash or a
// full disk leaves either the old or the new file, never a mix.
#include <filesystem>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace vb {

// Throws vb::Error "Die Datei <file> kann nicht gespeichert werden (<step>: <reason>)."
// in German; the old file stays intact and the temporary file is removed on failure.
void WriteFileAtomically(const std::filesystem::path& file, std::string_view content, mode_t mode = 0644);

// The whole content of a regular file; false when it cannot be read, with the
// errno value in `error` when given, and in errno (ENOENT: missing; EINVAL: no
// regular file, such as a FIFO, which is refused at once instead of waiting for a
// writer; EISDIR: a folder).
bool ReadWholeFile(const std::filesystem::path& file, std::string& content, int* error = nullptr);

}  // namespace vb
