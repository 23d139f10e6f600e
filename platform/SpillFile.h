#pragma once
// Bytes kept out of memory in a scratch file without a name in a given folder,
// appended one piece after another and read back where they lie. When the file cannot
// be created or written (a full temporary folder), it fails once and for good, and
// the caller keeps its bytes in memory from then on.
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "platform/UniqueFd.h"

namespace vb::platform {

class SpillFile {
public:
    // Without a folder every append fails.
    explicit SpillFile(std::string folder = {}) : FFolder(std::move(folder)), FFailed(FFolder.empty()) {}
    SpillFile(SpillFile&&) = default;
    SpillFile& operator=(SpillFile&&) = default;

    // Appends the pieces one after another: the offset of the first, or nullopt when
    // the file failed, now or before.
    std::optional<std::uint64_t> Append(std::initializer_list<std::string_view> pieces);

    int Fd() const { return FFd.Get(); }  // invalid until something was appended
    std::uint64_t Size() const { return FSize; }

private:
    std::string FFolder;
    UniqueFd FFd;
    std::uint64_t FSize = 0;
    bool FFailed;
};

}  // namespace vb::platform
