#include "zip/WrittenDirectory.h"

#include "zip/EntryHeaders.h"

namespace vb::zip {

void WrittenDirectory::Add(const ArchiveEntry& entry, bool anew) {
    MakeCentralHeader(entry).Write(Headers);
    Anew.push_back(anew);
}

WrittenDirectory WrittenDirectory::AllAnew(const std::vector<ArchiveEntry>& entries) {
    WrittenDirectory directory;
    for (const ArchiveEntry& e : entries) directory.Add(e, true);
    return directory;
}

}  // namespace vb::zip
