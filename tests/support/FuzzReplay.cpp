// A fuzz target's kept inputs replayed as a plain test: the seeds its corpus grew
// from and every minimized input that once made it fail, in
// tests/fixtures/fuzz/<target>/. Each must pass the target again without a crash, a
// hang or (in the checked build) a sanitizer report.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <set>

#include "support/TempDir.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace vb {
namespace {

TEST(FuzzReplay, EveryKeptInputPassesTheTarget) {
    std::set<std::filesystem::path> inputs;
    for (const auto& item : std::filesystem::directory_iterator(VB_FUZZ_CORPUS)) inputs.insert(item.path());
    ASSERT_FALSE(inputs.empty()) << VB_FUZZ_CORPUS;
    for (const auto& input : inputs) {
        SCOPED_TRACE(input.string());
        const std::string bytes = test::ReadFile(input);
        EXPECT_EQ(LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), 0);
    }
}

}  // namespace
}  // namespace vb
