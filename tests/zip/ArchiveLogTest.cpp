#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "ArchiveTestSupport.h"
#include "zip/ArchiveLog.h"
#include "zip/ArchiveReader.h"
#include "zip/ArchiveWriter.h"
#include "util/Error.h"
#include "util/Utf8.h"

namespace vb::test {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Lines(const fs::path& log) {
    const std::string raw = ReadFile(log);
    EXPECT_EQ(raw.size() % 2, 0u);
    EXPECT_TRUE(raw.size() < 4 || raw.substr(raw.size() - 4) == std::string("\r\0\n\0", 4));
    const std::string text = utf8::fromUtf16le(raw);
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

// The lines of `log` after the writer, logging into it, added `pattern` to `archive`.
std::vector<std::string> LoggedAdd(ArchiveWriter& writer, const fs::path& log, const std::string& archive,
                                   const std::string& pattern) {
    writer.SetLogFile(log.string());
    writer.SetLogging(true);
    writer.Open(archive);
    writer.AddFiles(pattern);
    writer.Close();
    return Lines(log);
}

TEST(ArchiveLog, StampLeavesOutMidnight) {
    std::tm t{};
    t.tm_year = 116;
    t.tm_mon = 9;
    t.tm_mday = 3;
    EXPECT_EQ(ArchiveLog::FormatStamp(t), "03.10.2016");
    t.tm_hour = 14;
    t.tm_min = 5;
    t.tm_sec = 9;
    EXPECT_EQ(ArchiveLog::FormatStamp(t), "03.10.2016 14:05:09");
}

TEST(ArchiveLog, BackupAndRestoreLines) {
    TempDir dir;
    MakeFile(dir / "Daten" / "Schüler.mdb", "db");
    MakeFile(dir / "Daten" / "Liste.txt", "liste");
    const std::string archive = (dir / "a.zip").string();
    const fs::path log = dir / "VB-Backup.log";
    const std::string base = fs::relative(dir / "Daten", "/").string();

    ArchiveWriter writer;
    auto lines = LoggedAdd(writer, log, archive, (dir / "Daten" / "*.mdb").string());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[0].starts_with(archive + " logging ")) << lines[0];
    EXPECT_TRUE(lines[1].starts_with(base + "/Schüler.mdb added ")) << lines[1];
    EXPECT_EQ(lines[1].size(), (base + "/Schüler.mdb added ").size() + 19);

    MakeFile(dir / "Daten" / "Schüler.mdb", "db2", 1710496800 + 86400);
    writer.Open(archive);
    writer.AddFiles((dir / "Daten" / "*.*").string());
    writer.Close();
    lines = Lines(log);
    ASSERT_EQ(lines.size(), 3u);
    // In the order the folder lists its files.
    const bool listeFirst = lines[1].starts_with(base + "/Liste.txt");
    EXPECT_TRUE(lines[listeFirst ? 1 : 2].starts_with(base + "/Liste.txt added ")) << lines[1];
    EXPECT_TRUE(lines[listeFirst ? 2 : 1].starts_with(base + "/Schüler.mdb freshened ")) << lines[2];

    // Nothing changed: only the first line.
    writer.Open(archive);
    writer.AddFiles((dir / "Daten" / "*.*").string());
    writer.Close();
    EXPECT_EQ(Lines(log).size(), 1u);

    // Logging off leaves the file as it is.
    const std::string before = ReadFile(log);
    writer.SetLogging(false);
    writer.Open(archive);
    writer.Close();
    EXPECT_EQ(ReadFile(log), before);

    const fs::path restoreLog = dir / "VB-Restore.log";
    fs::create_directories(dir / "out");
    ArchiveReader reader;
    reader.Open(archive);
    reader.SetBaseDirectory((dir / "out").string());
    reader.SetLogFile(restoreLog.string());
    reader.SetLogging(true);
    ASSERT_TRUE(reader.ExtractAt(0));
    lines = Lines(restoreLog);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[1].starts_with(reader.Entry(0).Name + " extracted ")) << lines[1];
}

// Names with control bytes reach the log escaped: an escape sequence in a file name
// must not recolour the terminal that shows the log, nor a line break forge a line.
TEST(ArchiveLog, ControlBytesInNamesAreEscaped) {
    TempDir dir;
    MakeFile(dir / "Daten" / "rot\x1b[31m.txt", "rot");
    const std::string archive = (dir / "a\nb.zip").string();
    const fs::path log = dir / "VB-Backup.log";
    const std::string base = fs::relative(dir / "Daten", "/").string();

    ArchiveWriter writer;
    auto lines = LoggedAdd(writer, log, archive, (dir / "Daten" / "*.*").string());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[0].starts_with((dir / "a\\x0ab.zip").string() + " logging ")) << lines[0];
    EXPECT_TRUE(lines[1].starts_with(base + "/rot\\x1b[31m.txt added ")) << lines[1];

    ArchiveLog direct;
    direct.Start((dir / "direct.log").string(), "a.zip");
    direct.Line(std::string("x\0y\x7f", 4), " skipped ");
    direct.Stop();
    lines = Lines(dir / "direct.log");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[1].starts_with("x\\x00y\\x7f skipped ")) << lines[1];

    for (const fs::path& file : {log, dir / "direct.log"}) {
        const std::string text = utf8::fromUtf16le(ReadFile(file));
        const auto raw = std::find_if(text.begin(), text.end(), [](char c) {
            return (static_cast<unsigned char>(c) < 0x20 && c != '\r' && c != '\n') || c == 0x7f;
        });
        EXPECT_EQ(raw, text.end()) << file;
    }
}

// A log that cannot be created fails at once; a FIFO in its place neither hangs the
// run (with or without a process reading it) nor takes the lines.
TEST(ArchiveLog, UncreatableLogFails) {
    TempDir dir;
    const std::string fifo = (dir / "VB-Backup.log").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    const struct {
        const char* what;
        std::string log;
        bool withReader;
    } cases[] = {
        {"missing folder", (dir / "fehlt" / "VB-Backup.log").string(), false},
        {"fifo with a reader", fifo, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ArchiveWriter writer;
        writer.SetLogFile(c.log);
        writer.SetLogging(true);
        try {
            writer.Open((dir / "a.zip").string());
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            EXPECT_STREQ(e.what(), "Error creating Log File");
        }
    }
    ::close(reader);
    ArchiveWriter writer;
    writer.SetLogFile(fifo);
    writer.SetLogging(true);
    EXPECT_EQ(ErrorOf([&] { writer.Open((dir / "a.zip").string()); }), "Error creating Log File");  // no reader
}

}  // namespace
}  // namespace vb::test
