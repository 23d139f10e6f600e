#pragma once
// The writer's entries by name: which entry is the last of each name (the one that
// extraction leaves). It holds positions only; the names stay in the entries, so an
// entry costs a few words here rather than a second copy of its name.
#include <cstddef>
#include <optional>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "zip/ArchiveEntry.h"

namespace vb::zip {

class NameIndex {
public:
    // `entries` must outlive the index; it may grow, and the index follows it by
    // position.
    explicit NameIndex(const std::vector<ArchiveEntry>& entries);
    NameIndex(const NameIndex&) = delete;
    NameIndex& operator=(const NameIndex&) = delete;

    std::optional<std::size_t> Find(std::string_view name) const;
    // Makes entry `i` the one of its name; false when the name had an entry before.
    bool Set(std::size_t i);
    // Forgets every entry and gives its memory back.
    void Clear();

private:
    struct Hash {
        using is_transparent = void;
        const std::vector<ArchiveEntry>* Entries;
        std::size_t operator()(std::string_view name) const { return std::hash<std::string_view>{}(name); }
        std::size_t operator()(std::size_t i) const { return (*this)(std::string_view((*Entries)[i].Name)); }
    };
    struct Equal {
        using is_transparent = void;
        const std::vector<ArchiveEntry>* Entries;
        std::string_view NameOf(std::size_t i) const { return (*Entries)[i].Name; }
        bool operator()(std::size_t a, std::size_t b) const { return NameOf(a) == NameOf(b); }
        bool operator()(std::string_view a, std::size_t b) const { return a == NameOf(b); }
        bool operator()(std::size_t a, std::string_view b) const { return NameOf(a) == b; }
    };
    using Positions = std::unordered_set<std::size_t, Hash, Equal>;

    const std::vector<ArchiveEntry>& FEntries;
    Positions FPositions;
};

}  // namespace vb::zip
