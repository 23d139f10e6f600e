#pragma once
// The message a failing step shows the user.
#include <functional>
#include <string>

#include "util/Error.h"

namespace vb::test {

// The message of the vb::Error that `f` throws, or "" when it throws none.
inline std::string ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.what();
    }
    return "";
}

}  // namespace vb::test
