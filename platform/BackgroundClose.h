#pragma once
// Closing a file whose name is already gone (an archive replaced by its new copy)
// frees all its blocks, which can take as long as writing a good part of them. The
// caller need not wait for that.
#include "platform/UniqueFd.h"

namespace vb::platform {

// Closes `fd` on a thread of its own; on the calling thread when none can be started.
void CloseInBackground(UniqueFd fd);

}  // namespace vb::platform
