#pragma once
// Where a run spends its time, for the benchmarks. With the environment variable
// VB_BENCH_PHASES set, the time of the calling thread is billed to the phase that is
// current; at the end of the process a table of the phases (milliseconds and how
// often each was entered, in the order they first occurred) goes to standard error.
// Without the variable nothing is measured and nothing is printed.
//
// A RunPhase makes its phase current for its scope and gives the phase before it
// back at the end, so phases nest: time inside a nested phase is billed to it only.
// Time outside every phase counts as "other". Meant for the thread that drives a run.
#include <string>

namespace vb {

class RunPhase {
public:
    // `name` must outlive the process (a string literal).
    explicit RunPhase(const char* name);
    ~RunPhase();
    RunPhase(const RunPhase&) = delete;
    RunPhase& operator=(const RunPhase&) = delete;

    // True when VB_BENCH_PHASES was set at the first use.
    static bool Enabled();
    // The table as text (also what is printed at exit); empty when not enabled.
    static std::string Report();

private:
    const char* FPrevious = nullptr;
};

}  // namespace vb
