#pragma once
// Runs an action when the scope is left, also by an error: the closing steps of a run.
#include <utility>

namespace vb {

template <typename End>
class Finally {
public:
    explicit Finally(End end) : FEnd(std::move(end)) {}
    ~Finally() { FEnd(); }
    Finally(const Finally&) = delete;
    Finally& operator=(const Finally&) = delete;

private:
    End FEnd;
};

}  // namespace vb
