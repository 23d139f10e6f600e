#pragma once
// The user options and where they live: the registry key
// HKEY_CURRENT_USER\Software\Vorlix-Backup with LOGGING, PASSWORTSCHUTZ,
// VERSCHLUESSELUNG (1 = AES-256, 0 = ZipCrypto), STRATEGIE, Datenverzeichnis and
// PRUEFEN (check each archive after packing), and the copy of each new archive to an
// rclone remote: ZWEITKOPIE (1 = on), ZWEITKOPIE_ZIEL ("remote:folder") and
// ZWEITKOPIE_TAGE (days a per-day archive is kept there). The main window
// owns the fields; these functions move them between the fields and the registry.
#include <functional>
#include <string>

#include "catalogue/TBackupStrategie.h"

namespace vb {

class RegistryStore;

inline constexpr const char* kSettingsKey = "Software\\Vorlix-Backup";

inline constexpr int kDefaultZweitkopieTage = 30;

struct TOptions {
    TBackupStrategie FStrategie = bsJedenTag;
    bool FLogging = false;
    bool FUsePassword = false;
    std::string FDatenDir;
    bool FPruefen = false;  // "Sicherung nach dem Packen prüfen"
    bool FAes = true;       // "Verschlüsselung": AES-256, else ZipCrypto for old programs
    bool FZweitkopie = false;         // copy each new archive to FZweitkopieZiel
    std::string FZweitkopieZiel{};    // rclone remote and folder, "schule-nc:Sicherungen/Verwaltung"
    int FZweitkopieTage = kDefaultZweitkopieTage;  // days a per-day archive stays on the remote
};

// Registry to fields. When the key can be neither opened nor created, the fields keep
// their initial values (false, false, per day, empty folder) and `keyOpened` is false.
// A missing or mistyped value takes its default (LOGGING true, PASSWORTSCHUTZ false,
// STRATEGIE per day, PRUEFEN off, Datenverzeichnis the default data folder, computed by
// `defaultDataFolder` only when needed and not written back). A STRATEGIE outside the
// three strategies reads as per day. A missing VERSCHLUESSELUNG means AES-256, except
// where protection is on already: those archives were made with ZipCrypto and may be
// opened by programs that know nothing else, so ZipCrypto stays until the user
// chooses. ZWEITKOPIE is off when missing, ZWEITKOPIE_TAGE 30 when missing or 0.
struct LoadedSettings {
    TOptions options;
    bool keyOpened = false;
};
LoadedSettings LoadSettings(RegistryStore& store, const std::function<std::string()>& defaultDataFolder);

// Fields to registry, in the order STRATEGIE, LOGGING, PASSWORTSCHUTZ,
// Datenverzeichnis, PRUEFEN, VERSCHLUESSELUNG, ZWEITKOPIE, ZWEITKOPIE_ZIEL,
// ZWEITKOPIE_TAGE. Returns false, writing nothing, when the key cannot be
// opened; a failing write throws RegistryError.
bool SaveSettings(RegistryStore& store, const TOptions& options);

// The shared data folder (SharedDataFolder), created with its parents; when it cannot
// be created or this user may not write there, the user's own documents folder itself
// (created as well, since it becomes the data folder). Empty when neither folder is
// known.
std::string DefaultDataFolder();

}  // namespace vb
