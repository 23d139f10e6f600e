#pragma once
// The environment of a scheduled pass in a test folder: no display, so the program
// runs on Qt's offscreen platform and writes its boxes to standard error, with home,
// settings and the shared data folder below the test's folder.
#include <filesystem>
#include <map>
#include <string>

namespace vb::test {

// For RunProgram: DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM removed; HOME is
// <folder>/home, XDG_CONFIG_HOME <folder>/home/.config, XDG_RUNTIME_DIR <folder>, and
// VORLIXBACKUP_COMMON_DOCUMENTS <folder>/shared.
inline std::map<std::string, std::string> HeadlessEnvironment(const std::filesystem::path& folder) {
    return {{"DISPLAY", "\x01"},
            {"WAYLAND_DISPLAY", "\x01"},
            {"QT_QPA_PLATFORM", "\x01"},
            {"HOME", (folder / "home").string()},
            {"XDG_CONFIG_HOME", (folder / "home/.config").string()},
            {"XDG_RUNTIME_DIR", folder.string()},
            {"VORLIXBACKUP_COMMON_DOCUMENTS", (folder / "shared").string()}};
}

}  // namespace vb::test
