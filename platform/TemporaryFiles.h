#pragma once
// The temporary files that stand in for a file while it is written anew: in the same
// folder, named "." + the file's name + ".vbtmp-" + six random characters (the
// archive writer and the atomic file writer both use this form). A run that is
// killed leaves such a file behind; the next run on the same file removes it.
#include <optional>
#include <string>
#include <string_view>

#include "platform/UniqueFd.h"

namespace vb::platform {

// A file in `folder` for scratch data that has no name from the start, so nothing
// stays behind whatever happens to the run. Invalid, with `error` set to the errno
// value, when it cannot be created.
UniqueFd CreateScratchFile(const std::string& folder, int& error);

// "<folder>/.<name>.vbtmp-XXXXXX" for `file` = "<folder>/<name>", ready for mkstemp.
std::string TemporaryTemplateFor(const std::string& file);

// The name that a temporary file named `name` (without folder) stands in for:
// "Daten.zip" for ".Daten.zip.vbtmp-a1B2c3"; nullopt for any other name.
std::optional<std::string_view> StandsInFor(std::string_view name);

// Removes what killed runs left beside `fileName` in `folder`: regular files named
// ".<fileName>.vbtmp-" plus six characters, owned by this user, that no process
// has open (a run that writes one right now keeps it). Returns how many it removed;
// a folder that cannot be read removes nothing.
int RemoveStaleTemporaries(const std::string& folder, const std::string& fileName);

}  // namespace vb::platform
