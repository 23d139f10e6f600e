#include "zip/NameIndex.h"

namespace vb::zip {

NameIndex::NameIndex(NameOf nameOf) : FNameOf(std::move(nameOf)), FPositions(Empty()) {}

NameIndex::Positions NameIndex::Empty() {
    const Names names{&FNameOf, FScratch};
    return Positions(0, Hash{names}, Equal{names});
}

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

void NameIndex::Clear() { FPositions = Empty(); }

}  // namespace vb::zip
