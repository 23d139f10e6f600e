#include "platform/BackgroundClose.h"

#include <memory>
#include <system_error>
#include <thread>

namespace vb::platform {

void CloseInBackground(UniqueFd fd) {
    if (!fd.Valid()) return;
    try {
        // When no thread can be started, the dropped task closes the descriptor here.
        std::thread([closing = std::make_shared<UniqueFd>(std::move(fd))] { closing->Reset(); }).detach();
    } catch (const std::system_error&) {
    }
}

}  // namespace vb::platform
