#pragma once
// The main window's position and size, kept in the subkey MainFrm of the settings key:
// FormVersion (always 0), ShowCmd, Flags, PixelsPerInch, MinMaxPos and NormPos, the
// last two stored a second time under a name with the desktop size, such as
// "NormPos(1920x1080)".
#include <array>
#include <optional>
#include <string>

namespace vb {

class RegistryStore;

inline constexpr const char* kPlacementKey = "Software\\Vorlix-Backup\\MainFrm";

// Show states as the window placement reports them.
enum : int { kShowNormal = 1, kShowMinimized = 2, kShowMaximized = 3 };

struct WindowPlacement {
    int showCmd = kShowNormal;
    int flags = 0;
    int pixelsPerInch = 96;
    int minX = -1, minY = -1, maxX = -1, maxY = -1;  // MinMaxPos
    int left = 0, top = 0, right = 0, bottom = 0;    // NormPos, screen coordinates
};

// Writes all values; throws RegistryError when the store cannot be written.
void SavePlacement(RegistryStore& store, const WindowPlacement& placement, int desktopWidth, int desktopHeight);

// Reads the stored placement, preferring the value names with the current desktop
// size over the plain ones. Nullopt when no usable NormPos is stored.
std::optional<WindowPlacement> LoadPlacement(const RegistryStore& store, int desktopWidth, int desktopHeight);

// Parses "%d,%d,%d,%d".
std::optional<std::array<int, 4>> ParseFourInts(const std::string& text);

}  // namespace vb
