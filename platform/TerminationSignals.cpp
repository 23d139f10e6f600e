#include "platform/TerminationSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <initializer_list>

namespace vb::platform {
namespace {

int gWriteEnd = -1;

void OnTerminationSignal(int) {
    const int saved = errno;
    const char byte = 1;
    // A full pipe already holds a request; the byte may be dropped.
    [[maybe_unused]] const ssize_t written = ::write(gWriteEnd, &byte, 1);
    errno = saved;
}

int MakePipe() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return -1;
    gWriteEnd = fds[1];
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGHUP}) ::sigaction(signal, &action, nullptr);
    return fds[0];
}

}  // namespace

int CatchTerminationSignals() {
    static const int readEnd = MakePipe();
    return readEnd;
}

bool TakeTerminationRequest(int fd) {
    char buffer[16];
    bool any = false;
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0) any = true;
    return any;
}

}  // namespace vb::platform
