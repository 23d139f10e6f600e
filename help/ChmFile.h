#pragma once
// A compiled HTML help file (.chm) read through chmlib: its topics, its default
// topic and title, and the map from context numbers to topics.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct chmFile;

namespace vb {

class ChmFile {
public:
    // Opens `path`; throws vb::Error when the file cannot be read as compiled help.
    explicit ChmFile(const std::string& path);
    ~ChmFile();
    ChmFile(const ChmFile&) = delete;
    ChmFile& operator=(const ChmFile&) = delete;

    // The bytes of the object at `path` ("/html/a.htm"); nullopt when there is none.
    std::optional<std::string> Read(const std::string& path) const;
    // The paths of all ordinary files in the help file ("/html/a.htm", ...).
    const std::vector<std::string>& Topics() const { return FTopics; }
    // The topic shown first (the project's default topic), as an object path; empty
    // when the file names none.
    const std::string& DefaultTopic() const { return FDefaultTopic; }
    const std::string& Title() const { return FTitle; }
    // The object path of the file's keyword index (a sitemap, "/name.hhk"); empty
    // when it has none.
    const std::string& IndexFile() const { return FIndexFile; }
    // The topic that the file's own map gives to `number`, as an object path of
    // this file; nullopt when the number is not mapped or its topic is missing.
    std::optional<std::string> TopicOfContext(std::uint32_t number) const;

private:
    void ReadSystem();

    chmFile* FHandle = nullptr;
    std::vector<std::string> FTopics;
    std::string FDefaultTopic;
    std::string FTitle;
    std::string FIndexFile;
};

// The help compiler records a mapped topic by the path it had on the build machine,
// often absolute ("/build/help/html/backup.htm", or with backslashes). This finds the
// file's own topic among `topics` whose path is the longest run of trailing parts of
// `mapped`, letters compared without regard to case as the help format does; nullopt
// when no topic matches at least the file name.
std::optional<std::string> ResolveMappedTopic(const std::string& mapped, const std::vector<std::string>& topics);

}  // namespace vb
