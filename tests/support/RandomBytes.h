#pragma once
// Bytes that do not compress, the same for the same seed.
#include <cstddef>
#include <random>
#include <string>

namespace vb::test {

inline std::string RandomBytes(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (auto& c : s) c = static_cast<char>(rng());
    return s;
}

}  // namespace vb::test
