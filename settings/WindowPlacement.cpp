#include "settings/WindowPlacement.h"

#include <charconv>
#include <cstdio>

#include "platform/RegistryStore.h"

namespace vb {
namespace {

std::string FourInts(int a, int b, int c, int d) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%d,%d,%d,%d", a, b, c, d);
    return buffer;
}

std::string SizeSuffix(int width, int height) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "(%dx%d)", width, height);
    return buffer;
}

}  // namespace

std::optional<std::array<int, 4>> ParseFourInts(const std::string& text) {
    std::array<int, 4> values{};
    const char* p = text.data();
    const char* end = p + text.size();
    for (int i = 0; i < 4; ++i) {
        while (p < end && *p == ' ') ++p;
        auto [next, error] = std::from_chars(p, end, values[i]);
        if (error != std::errc()) return std::nullopt;
        p = next;
        while (p < end && *p == ' ') ++p;
        if (i < 3) {
            if (p == end || *p != ',') return std::nullopt;
            ++p;
        }
    }
    if (p != end) return std::nullopt;
    return values;
}

void SavePlacement(RegistryStore& store, const WindowPlacement& w, int desktopWidth, int desktopHeight) {
    const std::string suffix = SizeSuffix(desktopWidth, desktopHeight);
    const std::string minMax = FourInts(w.minX, w.minY, w.maxX, w.maxY);
    const std::string norm = FourInts(w.left, w.top, w.right, w.bottom);
    store.WriteDword(kPlacementKey, "FormVersion", 0);
    store.WriteDword(kPlacementKey, "Flags", static_cast<std::uint32_t>(w.flags));
    store.WriteDword(kPlacementKey, "ShowCmd", static_cast<std::uint32_t>(w.showCmd));
    store.WriteDword(kPlacementKey, "PixelsPerInch", static_cast<std::uint32_t>(w.pixelsPerInch));
    store.WriteString(kPlacementKey, "MinMaxPos", minMax);
    store.WriteString(kPlacementKey, "NormPos", norm);
    store.WriteString(kPlacementKey, "MinMaxPos" + suffix, minMax);
    store.WriteString(kPlacementKey, "NormPos" + suffix, norm);
}

std::optional<WindowPlacement> LoadPlacement(const RegistryStore& store, int desktopWidth, int desktopHeight) {
    const auto root = RegistryRoot::CurrentUser;
    const std::string suffix = SizeSuffix(desktopWidth, desktopHeight);
    auto readPreferred = [&](const std::string& name) {
        auto value = store.ReadString(root, kPlacementKey, name + suffix);
        return value ? value : store.ReadString(root, kPlacementKey, name);
    };
    const auto norm = readPreferred("NormPos");
    const auto normValues = norm ? ParseFourInts(*norm) : std::nullopt;
    if (!normValues) return std::nullopt;
    WindowPlacement w;
    w.left = (*normValues)[0], w.top = (*normValues)[1], w.right = (*normValues)[2], w.bottom = (*normValues)[3];
    if (const auto minMax = readPreferred("MinMaxPos")) {
        if (const auto v = ParseFourInts(*minMax)) w.minX = (*v)[0], w.minY = (*v)[1], w.maxX = (*v)[2], w.maxY = (*v)[3];
    }
    w.showCmd = static_cast<int>(store.ReadDword(root, kPlacementKey, "ShowCmd").value_or(kShowNormal));
    w.flags = static_cast<int>(store.ReadDword(root, kPlacementKey, "Flags").value_or(0));
    w.pixelsPerInch = static_cast<int>(store.ReadDword(root, kPlacementKey, "PixelsPerInch").value_or(0));
    return w;
}

}  // namespace vb
