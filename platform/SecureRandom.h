#pragma once
// Random bytes from the system's cryptographically secure generator.
#include <cstddef>

namespace vb::platform {

// Fills `size` bytes; throws vb::Error when the system has no random source.
void FillRandom(void* buffer, std::size_t size);

}  // namespace vb::platform
