#pragma once
// The operation log of one archive role: UTF-16LE lines without a byte-order mark,
// each ending in CR LF and handed to the file system at once.
#include <ctime>
#include <functional>
#include <string>

#include "platform/UniqueFd.h"

namespace vb {

class ArchiveLog {
public:
    ArchiveLog() = default;
    ArchiveLog(const ArchiveLog&) = delete;
    ArchiveLog& operator=(const ArchiveLog&) = delete;
    ~ArchiveLog();

    // Creates or empties `logPath` and writes the first line: `archivePath` +
    // " logging " + date and time. Throws vb::Error "Error creating Log File" when
    // the file cannot be created or emptied.
    void Start(const std::string& logPath, const std::string& archivePath);

    // Opens `logPath` to append lines after those a finished run left there, creating
    // it when missing; false when it cannot be opened (nothing is logged then).
    bool Continue(const std::string& logPath);

    // Writes `name` (control bytes as "\xNN", see util/EscapeControl.h) + `event`
    // (which brings its own blanks) + date and time. Write
    // errors are not reported. Nothing happens while no log is started.
    void Line(const std::string& name, const std::string& event);

    void Stop();
    bool Active() const { return FFd.Valid(); }

    // The clock used for the lines; the system clock unless a test sets another.
    std::function<std::time_t()> FClock;

    // "03.10.2016 14:05:09", or only the date at exactly midnight.
    static std::string FormatStamp(const std::tm& local);

private:
    UniqueFd FFd;
};

}  // namespace vb
