#pragma once
// The registry of the program on Linux: one text file per user in the .reg syntax,
// $XDG_CONFIG_HOME/vorlix-backup/registry.reg (default ~/.config/...):
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CURRENT_USER\Software\Vorlix-Backup]
//   "STRATEGIE"=dword:00000002
//   "Datenverzeichnis"="/home/sekretariat/Dokumente"
//
// Strings are quoted with \\ and \" escaped; a string holding a NUL or a line break is
// written as hex(1): bytes (UTF-16LE, as regedit does) and reads back up to the NUL.
// Values of other types are kept as they stand and survive every rewrite. Key and
// value names compare without regard to ASCII case. The file may also hold
// HKEY_LOCAL_MACHINE keys, which the program only reads.
//
// Every write re-reads the file under a lock, applies the one change and replaces the
// file atomically (temporary file, flush, rename, mode 0600), so two running copies
// lose only the values both of them write. Of a damaged file, what can be parsed is
// read and kept; before the first write over it, the file is renamed aside with a
// ".bad" suffix. A file that cannot be read at all (no read right, no regular file,
// which is refused without waiting) reads as empty and is never written over.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/RegFile.h"

namespace vb {

enum class RegistryRoot { CurrentUser, LocalMachine };

class RegistryStore {
public:
    explicit RegistryStore(std::filesystem::path file);

    // The store of the current user: $XDG_CONFIG_HOME/vorlix-backup/registry.reg, with
    // ~/.config when XDG_CONFIG_HOME is unset or empty.
    static std::filesystem::path DefaultPath();

    const std::filesystem::path& Path() const { return FPath; }

    bool KeyExists(RegistryRoot root, const std::string& key) const;
    // Makes sure the key exists, writing the file when it does not. False when the
    // store cannot be written (HKLM keys are never created).
    bool CreateKey(RegistryRoot root, const std::string& key);

    // Typed reads: nullopt when the value is missing or stored with another type.
    std::optional<std::string> ReadString(RegistryRoot root, const std::string& key, const std::string& name) const;
    std::optional<std::uint32_t> ReadDword(RegistryRoot root, const std::string& key, const std::string& name) const;
    bool ValueExists(RegistryRoot root, const std::string& key, const std::string& name) const;

    // Writes into HKEY_CURRENT_USER, creating the key. Throws RegistryError with the
    // reason when the file cannot be written.
    void WriteString(const std::string& key, const std::string& name, const std::string& value);
    void WriteDword(const std::string& key, const std::string& name, std::uint32_t value);

    // What was wrong with the file when this store first found it damaged or
    // unreadable, in German and naming the file; "" while nothing was. It stays after
    // a write has set the file right, so that it can still be reported.
    const std::string& Problem() const { return FProblem; }

private:
    regfile::Document LoadDocument() const;
    void WriteValue(const std::string& key, const std::string& name, const std::string& data);

    std::filesystem::path FPath;
    mutable std::string FProblem;
};

}  // namespace vb
