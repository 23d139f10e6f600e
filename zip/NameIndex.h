#pragma once
// The writer's entries by name: which entry is the last of each name (the one that
// extraction leaves). It holds positions only; the names stay where the entries keep
// them, so an entry costs a few words here rather than a second copy of its name.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

namespace vb::zip {

class NameIndex {
public:
    // The name of entry `i`: a view of where the entry keeps it, or built in `scratch`.
    using NameOf = std::function<std::string_view(std::size_t i, std::string& scratch)>;

    // `nameOf` must answer for every position set, as long as the index holds it.
    explicit NameIndex(NameOf nameOf);
    NameIndex(const NameIndex&) = delete;
    NameIndex& operator=(const NameIndex&) = delete;

    std::optional<std::size_t> Find(std::string_view name) const;
    // Makes entry `i` the one of its name; false when the name had an entry before.
    bool Set(std::size_t i);
    // Forgets every entry and gives its memory back.
    void Clear();

private:
    struct Names {
        const NameOf* Of;
        std::string* Scratch;  // two, for comparing two entries
        std::string_view operator()(std::size_t i, int which) const { return (*Of)(i, Scratch[which]); }
    };
    struct Hash {
        using is_transparent = void;
        Names Entries;
        std::size_t operator()(std::string_view name) const { return std::hash<std::string_view>{}(name); }
        std::size_t operator()(std::size_t i) const { return (*this)(Entries(i, 0)); }
    };
    struct Equal {
        using is_transparent = void;
        Names Entries;
        bool operator()(std::size_t a, std::size_t b) const { return Entries(a, 0) == Entries(b, 1); }
        bool operator()(std::string_view a, std::size_t b) const { return a == Entries(b, 0); }
        bool operator()(std::size_t a, std::string_view b) const { return Entries(a, 0) == b; }
    };
    using Positions = std::unordered_set<std::size_t, Hash, Equal>;

    Positions Empty();

    NameOf FNameOf;
    std::string FScratch[2];
    Positions FPositions;
};

}  // namespace vb::zip
