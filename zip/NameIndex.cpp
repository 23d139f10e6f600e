#include "zip/NameIndex.h"

namespace vb::zip {

NameIndex::NameIndex(const std::vector<ArchiveEntry>& entries)
    : FEntries(entries), FPositions(0, Hash{&entries}, Equal{&entries}) {}

std::optional<std::size_t> NameIndex::Find(std::string_view name) const {
    const auto found = FPositions.find(name);
    if (found == FPositions.end()) return std::nullopt;
    return *found;
}

bool NameIndex::Set(std::size_t i) {
    const auto [at, added] = FPositions.insert(i);
    if (added) return true;
    FPositions.erase(at);
    FPositions.insert(i);
    return false;
}

void NameIndex::Clear() { FPositions = Positions(0, Hash{&FEntries}, Equal{&FEntries}); }

}  // namespace vb::zip
