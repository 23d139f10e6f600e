#pragma once
// The name of a backup archive, chosen by the naming strategy, and the rotation of
// the three generations. The backup run calls this once per job run, after the
// password prompt and before the archive is opened, and appends the result to the
// job's target folder as it stands: DestDir + "/Daten_1.zip".
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

namespace vb {

class TJob;

// Returns the archive name relative to the target folder, beginning with "/":
//   per day (0)          "/" + job name + "-yy-mm-dd.zip" from the local date `now`
//   three generations (1) "/" + job name + "_1.zip"
//   same file (2)        "/" + job name + ".zip"
// `now` is the local clock reading of the run (LocalTime(std::time(nullptr))); only
// the per-day name uses it. A stored strategy outside 0..2 is taken as per day. The job name is used as it
// stands: double quotes and letters such as "yy" in it are never read as a date
// pattern. First `setSpanningThreshold(0)` is called (when given): an archive is
// split into volumes only when a removable medium fills up.
//
// Naming moves nothing: the generations rotate only once the new archive is written
// whole (RotateGenerations, called by the run just before the new _1 takes its
// place), so a run that fails or is killed leaves every generation as it was.
std::string PrepareBackupFilename(const TJob& job, std::uint8_t strategie, const std::tm& now,
                                  const std::function<void(std::uint64_t)>& setSpanningThreshold = {});

// Rotation of the three generations (files in job.DestDir; a folder of such a name is
// no generation): when _1, _2 and _3 all exist, _3 is deleted; when _1 and _2 exist,
// _2 is renamed to _3; when _1 exists, _1 is renamed to _2. A rename never replaces
// an existing file. A delete or rename that fails is ignored. True when nothing is
// left at the name of _1 afterwards, so that the new archive can take it.
bool RotateGenerations(const TJob& job);

// Whether RotateGenerations would leave the name of _1 free, judged from what the
// target folder holds now, without changing anything. When it would not (a folder
// named like _2 or _3 blocks the way), the run updates the existing _1 instead, so
// nothing is lost but the generations do not advance.
bool GenerationsWillRotate(const TJob& job);

}  // namespace vb
