#pragma once
// The central directory of a new archive, made while its entries are written: each
// entry's central header appended as bytes (the directory itself, written at the end
// as it stands), and which of the entries were written anew, in the same order. An
// entry costs its header's bytes here, not a whole ArchiveEntry.
#include <cstdint>
#include <string>
#include <vector>

#include "zip/ArchiveEntry.h"

namespace vb::zip {

struct WrittenDirectory {
    std::string Headers;     // the central headers, in entry order
    std::vector<bool> Anew;  // per entry: its data was written in this save

    void Add(const ArchiveEntry& entry, bool anew);
    std::uint64_t Count() const { return Anew.size(); }

    // The directory of `entries`, each counted as written anew.
    static WrittenDirectory AllAnew(const std::vector<ArchiveEntry>& entries);
};

}  // namespace vb::zip
