#pragma once
// While it lives, a process running as root acts as the user nobody for file access,
// so that permission bits hold as they do for any other user. Nothing happens for a
// process that is not root. The folders the test uses must let nobody pass.
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

namespace vb::test {

class AsNobody {
public:
    AsNobody() {
        if (::geteuid() != 0) return;
        if (::setegid(65534) != 0) throw std::runtime_error("setegid failed");
        if (::seteuid(65534) != 0) throw std::runtime_error("seteuid failed");
        FSwitched = true;
    }
    ~AsNobody() {
        if (!FSwitched) return;
        if (::seteuid(0) != 0 || ::setegid(0) != 0) std::abort();
    }
    AsNobody(const AsNobody&) = delete;
    AsNobody& operator=(const AsNobody&) = delete;

private:
    bool FSwitched = false;
};

}  // namespace vb::test
