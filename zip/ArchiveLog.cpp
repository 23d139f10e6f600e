#include "zip/ArchiveLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/FileIo.h"
#include "util/Error.h"
#include "util/EscapeControl.h"
#include "util/GermanFormat.h"
#include "util/Utf8.h"

namespace vb {

ArchiveLog::~ArchiveLog() { Stop(); }

std::string ArchiveLog::FormatStamp(const std::tm& local) {
    std::string stamp = FormatShortDate(local);
    if (local.tm_hour != 0 || local.tm_min != 0 || local.tm_sec != 0) stamp += " " + FormatLongTime(local);
    return stamp;
}

void ArchiveLog::Start(const std::string& logPath, const std::string& archivePath) {
    Stop();
    // Without blocking, and only into a regular file: a FIFO in the log's place must
    // not hang the run.
    FFd.Reset(::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0666));
    if (!FFd.Valid()) throw Error("Error creating Log File");
    struct stat st{};
    if (::fstat(FFd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        Stop();
        throw Error("Error creating Log File");
    }
    Line(archivePath, " logging ");
}

bool ArchiveLog::Continue(const std::string& logPath) {
    Stop();
    FFd.Reset(::open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0666));
    struct stat st{};
    if (FFd.Valid() && (::fstat(FFd.Get(), &st) != 0 || !S_ISREG(st.st_mode))) Stop();
    return FFd.Valid();
}

void ArchiveLog::Line(const std::string& name, const std::string& event) {
    if (!FFd.Valid()) return;
    const std::time_t now = FClock ? FClock() : std::time(nullptr);
    // A name is shown with its control bytes escaped: the log never holds a raw one.
    const std::string text = utf8::toUtf16le(EscapeControl(name) + event + FormatStamp(LocalTime(now)) + "\r\n");
    [[maybe_unused]] const platform::IoResult written = platform::WriteAll(FFd.Get(), text);
}

void ArchiveLog::Stop() { FFd.Reset(); }

}  // namespace vb
