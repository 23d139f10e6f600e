#pragma once
// The archives of a job in its target folder, under each naming strategy: the name a
// backup writes (PrepareBackupFilename) and the rotation of the three generations,
// the names that belong to a job and are never taken into a selection, the archives
// listed for the browser, and the one a restore pass takes. The backup run asks
// PrepareBackupFilename once per job run, after the password prompt and before the
// archive is opened, and appends the result to the job's target folder as it
// stands: DestDir + "/Daten_1.zip".
#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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
// whole and kept under its pending name (RotateGenerations, called by the run after
// that), so a run that fails or is killed before leaves every generation as it was,
// and one killed later leaves a rotation that the next run finishes.
std::string PrepareBackupFilename(const TJob& job, std::uint8_t strategie, const std::tm& now,
                                  const std::function<void(std::uint64_t)>& setSpanningThreshold = {});

// Where a complete new _1 of the three-generation strategy waits while the older
// generations rotate: "<job>_1.zip.vbneu" in the target folder (DestDir + "/" + ...).
// The run writes the new archive under a temporary name, flushes it, and only then
// gives it this name; from then on it is never removed, only moved to _1.
std::string PendingGenerationPath(const TJob& job);

// Rotation of the three generations (files in job.DestDir; a folder of such a name is
// no generation), in steps that a killed run may leave half done and any later call
// finishes: (1) when _1, _2 and _3 all exist, _3 is deleted; (2) when _1 and _2 exist,
// _2 is renamed to _3; (3) when _1 exists, _1 is renamed to _2; (4) a new _1 waiting
// under PendingGenerationPath is renamed to _1. A rename never replaces an existing
// file. A name that a cut-short rename left on both sides of a step (where the file
// system renames by link and unlink) is first given up on the side it was leaving.
// A delete or rename that fails is ignored. True when the rotation is complete:
// nothing waits under the pending name any more, and the name of _1 is free or holds
// the archive that waited.
//
// For tests only: with VB_TEST_EXIT_AT_ROTATION_STEP=N in the environment the process
// ends (_exit, status 3) just before step N (1 to 4) or, for N = 5, just after step 4,
// so that tests can leave each state of the rotation behind deterministically.
bool RotateGenerations(const TJob& job);

// Finishes the rotation of a run that was killed while its complete new _1 waited
// (RotateGenerations), and does nothing when none waits. True when none waits
// afterwards.
bool FinishInterruptedRotation(const TJob& job);

// Whether RotateGenerations would leave the name of _1 free, judged from what the
// target folder holds now, without changing anything. When it would not (a folder
// named like _2 or _3 blocks the way), the run updates the existing _1 instead, so
// nothing is lost but the generations do not advance.
bool GenerationsWillRotate(const TJob& job);

// The names of the jobs whose archive (by any naming strategy), pending new _1, or
// temporary file of either a file named `fileName` (without folder) may be. Empty
// for any other name. A name can fit more than one job: "A_1.zip" is the first
// generation of "A" and the same-file archive of "A_1".
std::vector<std::string_view> JobsWhoseArchiveThisMayBe(std::string_view fileName);

// `folder` + "/" + `name`, without doubling a trailing "/".
std::string ArchivePath(const std::string& folder, const std::string& name);

// The names (without folder) of the items of `folder` whose names end in ".zip"
// (letters in any case). Every kind of item counts, hidden files and folders named
// like archives too. The list is in name order, letters compared without regard to
// case as the file systems of the original platform return them, so that the first
// archive does not depend on the file system. Empty when the folder is missing or
// cannot be read.
std::vector<std::string> ListArchiveNames(const std::string& folder);

// The names (without folder) of the archives in `folder` that may belong to the job
// `jobName` under any naming strategy (JobsWhoseArchiveThisMayBe): its per-day
// archives, its three generations and its same-file archive, in ListArchiveNames'
// order. Pending and temporary files are no archives of their own.
std::vector<std::string> JobArchiveNames(const std::string& folder, std::string_view jobName);

// The archive a restore pass takes for a job: `recorded` (the job's BACKUPDATEI) when
// an archive of that name is listed in `folder`, else the listed archive with the
// newest creation stamp (of equal stamps the last in name order). "" when the folder
// holds no archive.
std::string ArchiveForRestorePass(const std::string& folder, const std::string& recorded);

// The name of generation `n` (1 to 3) of the three-generation strategy, without
// folder: job name + "_n.zip".
std::string GenerationName(const TJob& job, int n);

// The archives of `job` under `strategie` among `names` (names without folder, as a
// listing of the target folder or of the remote copy gives them): the generations
// that are there in the order _1, _2, _3; the same-file archive; or the per-day
// archives in name order, which is their date order within one century. Names that
// differ only in case are other names.
std::vector<std::string> ArchivesOfJob(const std::vector<std::string>& names, const TJob& job, std::uint8_t strategie);

// The day a per-day archive name of `job` carries ("<job>-yy-mm-dd.zip", years read
// as 20yy), as days since 1 January 1970; nullopt for any other name and for a date
// that does not exist.
std::optional<long> ArchiveDay(std::string_view name, const TJob& job);

// The local date of `now` as days since 1 January 1970, to compare with ArchiveDay.
long DayNumber(const std::tm& now);

}  // namespace vb
