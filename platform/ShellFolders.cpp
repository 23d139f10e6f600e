#include "platform/ShellFolders.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/RegistryStore.h"

namespace vb {
namespace fs = std::filesystem;
namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string WithoutTrailingSeparator(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

// The value of XDG_DOCUMENTS_DIR in user-dirs.dirs, with $HOME expanded; empty when
// the file or the line is missing. The file holds shell assignments such as
// XDG_DOCUMENTS_DIR="$HOME/Dokumente".
std::string UserDirsDocuments(const std::string& home) {
    std::string config = Environment("XDG_CONFIG_HOME");
    if (config.empty()) config = home + "/.config";
    std::ifstream in(config + "/user-dirs.dirs");
    std::string line;
    const std::string key = "XDG_DOCUMENTS_DIR=";
    while (std::getline(in, line)) {
        if (line.rfind(key, 0) != 0) continue;
        std::string value = line.substr(key.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        if (value.rfind("$HOME", 0) == 0) {
            value = home + value.substr(5);
        } else if (value.empty() || value.front() != '/') {
            return {};  // only absolute paths and paths below $HOME are allowed there
        }
        return WithoutTrailingSeparator(value);
    }
    return {};
}

}  // namespace

std::string SharedDataFolder() {
    const std::string overridden = Environment("VORLIXBACKUP_COMMON_DOCUMENTS");
    return overridden.empty() ? "/var/lib/vorlixbackup" : WithoutTrailingSeparator(overridden) + "/VorlixBackup";
}

std::string ProgramDataFile(const std::string& programFolder, const std::string& name) {
    const std::string beside = WithoutTrailingSeparator(programFolder) + "/" + name;
    std::error_code ec;
    if (fs::exists(beside, ec)) return beside;
    return std::string(kInstalledDataFolder) + "/" + name;
}

std::string PersonalDocumentsFolder() {
    const std::string home = WithoutTrailingSeparator(Environment("HOME"));
    if (home.empty()) return {};
    const std::string documents = UserDirsDocuments(home);
    return documents.empty() ? home + "/Documents" : documents;
}

std::string TemporaryFolder() {
    const std::string tmpdir = Environment("TMPDIR");
    std::error_code ec;
    if (!tmpdir.empty() && fs::is_directory(tmpdir, ec)) return WithoutTrailingSeparator(tmpdir);
    return "/tmp";
}

}  // namespace vb

namespace vb {

std::string ProgramFilesFolder(const RegistryStore& registry) {
    const auto value = registry.ReadString(RegistryRoot::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                                           "ProgramFilesDir");
    return value ? WithoutTrailingSeparator(*value) : "/opt";
}

}  // namespace vb
