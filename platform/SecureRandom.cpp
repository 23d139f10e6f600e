#include "platform/SecureRandom.h"

#include <sys/random.h>

#include <cerrno>

#include "util/Error.h"

namespace vb::platform {

void FillRandom(void* buffer, std::size_t size) {
    auto* p = static_cast<unsigned char*>(buffer);
    while (size > 0) {
        const ssize_t n = ::getrandom(p, size, 0);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw Error("Zufallszahlen sind nicht verfügbar");
        }
        p += n;
        size -= static_cast<std::size_t>(n);
    }
}

}  // namespace vb::platform
