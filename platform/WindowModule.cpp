#include "platform/WindowModule.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

namespace vb::platform {
namespace {

constexpr const char* kModuleName = "vorlixbackup-window.so";
constexpr const char* kEntryName = "vorlixbackup_run_window";

std::string ModulePath() {
    std::error_code ec;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const auto beside = executable.parent_path() / kModuleName;
        if (std::filesystem::exists(beside, ec)) return beside.string();
    }
    return std::string(VB_MODULE_DIR) + "/" + kModuleName;
}

int Refuse(const std::string& path, const std::string& why) {
    std::fprintf(stderr, "Vorlix-Backup: Das Programmfenster (%s) kann nicht geladen werden: %s\n", path.c_str(),
                 why.c_str());
    return 1;
}

}  // namespace

int RunWindowModule(int argc, char** argv) {
    const std::string path = ModulePath();
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) return Refuse(path, std::generic_category().message(errno));
    if ((status.st_uid != 0 && status.st_uid != ::geteuid()) || (status.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        return Refuse(path, "Die Datei gehört einem anderen Benutzer oder ist für andere beschreibbar.");
    }
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) return Refuse(path, ::dlerror());
    using Entry = int (*)(int, char**);
    const auto entry = reinterpret_cast<Entry>(::dlsym(module, kEntryName));
    if (!entry) return Refuse(path, ::dlerror());
    // The module stays loaded until the process ends: Qt's exit handlers live in it.
    return entry(argc, argv);
}

}  // namespace vb::platform
