#include "settings/Settings.h"

#include <unistd.h>

#include <filesystem>

#include "platform/RegistryStore.h"
#include "platform/ShellFolders.h"

namespace vb {

LoadedSettings LoadSettings(RegistryStore& store, const std::function<std::string()>& defaultDataFolder) {
    LoadedSettings result;
    if (!store.CreateKey(RegistryRoot::CurrentUser, kSettingsKey)) return result;
    result.keyOpened = true;
    const auto root = RegistryRoot::CurrentUser;
    TOptions& o = result.options;
    o.FLogging = store.ReadDword(root, kSettingsKey, "LOGGING").value_or(1) != 0;
    o.FUsePassword = store.ReadDword(root, kSettingsKey, "PASSWORTSCHUTZ").value_or(0) != 0;
    o.FAes = store.ReadDword(root, kSettingsKey, "VERSCHLUESSELUNG").value_or(o.FUsePassword ? 0 : 1) != 0;
    const std::uint32_t strategy = store.ReadDword(root, kSettingsKey, "STRATEGIE").value_or(bsJedenTag);
    o.FStrategie = strategy <= bsGleicheDatei ? static_cast<TBackupStrategie>(strategy) : bsJedenTag;
    o.FPruefen = store.ReadDword(root, kSettingsKey, "PRUEFEN").value_or(0) != 0;
    o.FDatenDir = store.ReadString(root, kSettingsKey, "Datenverzeichnis").value_or("");
    if (o.FDatenDir.empty()) o.FDatenDir = defaultDataFolder();
    o.FZweitkopie = store.ReadDword(root, kSettingsKey, "ZWEITKOPIE").value_or(0) != 0;
    o.FZweitkopieZiel = store.ReadString(root, kSettingsKey, "ZWEITKOPIE_ZIEL").value_or("");
    const std::uint32_t days = store.ReadDword(root, kSettingsKey, "ZWEITKOPIE_TAGE").value_or(0);
    o.FZweitkopieTage = days == 0 || days > 36500 ? kDefaultZweitkopieTage : static_cast<int>(days);
    return result;
}

bool SaveSettings(RegistryStore& store, const TOptions& options) {
    if (!store.CreateKey(RegistryRoot::CurrentUser, kSettingsKey)) return false;
    store.WriteDword(kSettingsKey, "STRATEGIE", options.FStrategie);
    store.WriteDword(kSettingsKey, "LOGGING", options.FLogging ? 1 : 0);
    store.WriteDword(kSettingsKey, "PASSWORTSCHUTZ", options.FUsePassword ? 1 : 0);
    store.WriteString(kSettingsKey, "Datenverzeichnis", options.FDatenDir);
    store.WriteDword(kSettingsKey, "PRUEFEN", options.FPruefen ? 1 : 0);
    store.WriteDword(kSettingsKey, "VERSCHLUESSELUNG", options.FAes ? 1 : 0);
    store.WriteDword(kSettingsKey, "ZWEITKOPIE", options.FZweitkopie ? 1 : 0);
    store.WriteString(kSettingsKey, "ZWEITKOPIE_ZIEL", options.FZweitkopieZiel);
    store.WriteDword(kSettingsKey, "ZWEITKOPIE_TAGE", static_cast<std::uint32_t>(options.FZweitkopieTage));
    return true;
}

std::string DefaultDataFolder() {
    namespace fs = std::filesystem;
    std::error_code ec;
    const std::string shared = SharedDataFolder();
    fs::create_directories(shared, ec);
    // The package's folder exists for everybody, but only the members of its group
    // may write there; the others keep their data in their own documents.
    if (!ec && fs::is_directory(shared, ec) && ::access(shared.c_str(), W_OK | X_OK) == 0) return shared;
    const std::string personal = PersonalDocumentsFolder();
    if (!personal.empty()) fs::create_directories(personal, ec);
    return personal;
}

}  // namespace vb
