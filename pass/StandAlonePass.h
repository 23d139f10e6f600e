#pragma once
// The unattended pass of /BACKUP and /RESTORE without a window: it owns what the
// window would lend a pass (the job list and the definition table with their rules,
// the archive writer and reader, the database check) and prepares the job list as the
// window's creation step does: a missing list is written with the default job, and
// the first job's missing definition list with the default rows. Restores go below
// "/", where the files came from; nothing asks about an archive browser.
#include <memory>
#include <string>

#include "pass/Pass.h"

namespace vb {

class RegistryStore;
struct TOptions;

class StandAlonePass {
public:
    // `options` and `host` must outlive the object.
    StandAlonePass(RegistryStore& registry, const TOptions& options, RunHost& host);
    ~StandAlonePass();
    StandAlonePass(const StandAlonePass&) = delete;
    StandAlonePass& operator=(const StandAlonePass&) = delete;

    // Opens the job list and runs the pass. A job list that cannot be opened is
    // reported, and nothing runs.
    void Run(PassKind kind, const std::string& jobs);
    // True when the last Run left anything undone.
    bool Incomplete() const;

private:
    struct Engine;
    std::unique_ptr<Engine> FEngine;
};

}  // namespace vb
