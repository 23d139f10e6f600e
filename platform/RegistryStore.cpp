#include "platform/RegistryStore.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/AtomicFile.h"
#include "platform/RegFile.h"
#include "platform/SystemError.h"
#include "platform/UniqueFd.h"
#include "util/Error.h"

namespace vb {
namespace fs = std::filesystem;
namespace {

std::string FullPath(RegistryRoot root, const std::string& key) {
    std::string_view rest = key;
    while (!rest.empty() && rest.front() == '\\') rest.remove_prefix(1);
    std::string path = root == RegistryRoot::CurrentUser ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE";
    if (!rest.empty()) path += "\\" + std::string(rest);
    return path;
}

// The parsed store. A missing file is an empty store; of a damaged one, what can be
// parsed (`problems` names the rest); one that cannot be read at all (no read right,
// no regular file) is empty and `unreadable` holds the reason.
struct LoadedStore {
    regfile::Document document;
    std::vector<std::string> problems;
    std::string unreadable;
};

LoadedStore Load(const fs::path& file) {
    LoadedStore loaded;
    std::string text;
    if (int error = 0; !ReadWholeFile(file, text, &error)) {
        if (error != ENOENT) {
            loaded.unreadable = error == EINVAL ? "keine gew\u00F6hnliche Datei" : SystemErrorText(error);
        }
        return loaded;
    }
    loaded.document = regfile::ParseLenient(text, loaded.problems);
    return loaded;
}

// The German report of what is wrong with a store as loaded, "" when nothing.
std::string ProblemText(const fs::path& file, const LoadedStore& loaded) {
    if (!loaded.unreadable.empty()) {
        return "Die Einstellungsdatei " + file.string() + " kann nicht gelesen werden: " + loaded.unreadable +
               ". Sie wird nicht \u00FCberschrieben; bis sie lesbar ist, gelten die Standardeinstellungen.";
    }
    if (loaded.problems.empty()) return {};
    std::string text = "Die Einstellungsdatei " + file.string() + " ist besch\u00E4digt:";
    for (const std::string& problem : loaded.problems) text += "\n" + problem;
    return text + "\nDie lesbaren Einstellungen werden verwendet; die Datei bleibt beim n\u00E4chsten Speichern als " +
           file.filename().string() + ".bad erhalten.";
}

const regfile::Value* FindValue(const regfile::Document& document, RegistryRoot root, const std::string& key,
                                const std::string& name) {
    const regfile::Key* k = document.FindKey(FullPath(root, key));
    if (!k) return nullptr;
    for (const regfile::Value& value : k->values) {
        if (regfile::NamesEqual(value.name, name)) return &value;
    }
    return nullptr;
}

[[noreturn]] void CannotWrite(const fs::path& file, const std::string& reason) {
    throw RegistryError("Die Einstellungsdatei " + file.string() + " kann nicht geschrieben werden (" + reason + ").");
}

// Holds the store's lock file locked for one read-change-write cycle.
class StoreLock {
public:
    explicit StoreLock(const fs::path& file) {
        const fs::path lockFile = file.string() + ".lock";
        FFd.Reset(::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
        if (!FFd.Valid()) CannotWrite(file, lockFile.string() + ": " + SystemErrorText(errno));
        while (::flock(FFd.Get(), LOCK_EX) != 0) {
            if (errno != EINTR) CannotWrite(file, lockFile.string() + ": " + SystemErrorText(errno));
        }
    }

private:
    UniqueFd FFd;  // closing the descriptor releases the lock
};

// Runs one change under the lock: re-read, change, replace atomically. A damaged file
// is kept aside as "<name>.bad" (or ".bad.N" when that exists) instead of overwritten.
template <typename Change>
void Update(const fs::path& file, Change change) {
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    if (ec) CannotWrite(file, file.parent_path().string() + ": " + SystemErrorText(ec.value()));
    ::chmod(file.parent_path().c_str(), 0700);
    StoreLock lock(file);
    LoadedStore loaded = Load(file);
    // A file that could not be read is never replaced: its values would be lost.
    if (!loaded.unreadable.empty()) CannotWrite(file, "sie kann nicht gelesen werden: " + loaded.unreadable);
    regfile::Document& document = loaded.document;
    if (!change(document)) return;
    if (!loaded.problems.empty()) {
        fs::path aside = file.string() + ".bad";
        for (int n = 1; fs::exists(aside); ++n) aside = file.string() + ".bad." + std::to_string(n);
        if (::rename(file.c_str(), aside.c_str()) != 0) {
            CannotWrite(file, SystemErrorText(errno));
        }
    }
    try {
        WriteFileAtomically(file, regfile::Format(document), 0600);
    } catch (const Error& e) {
        CannotWrite(file, e.what());
    }
}

}  // namespace

RegistryStore::RegistryStore(fs::path file) : FPath(std::move(file)) {}

regfile::Document RegistryStore::LoadDocument() const {
    LoadedStore loaded = Load(FPath);
    if (FProblem.empty()) FProblem = ProblemText(FPath, loaded);
    return std::move(loaded.document);
}

fs::path RegistryStore::DefaultPath() {
    fs::path config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) {
        config = xdg;
    } else {
        const char* home = std::getenv("HOME");
        config = fs::path(home ? home : "") / ".config";
    }
    return config / "vorlix-backup" / "registry.reg";
}

bool RegistryStore::KeyExists(RegistryRoot root, const std::string& key) const {
    return LoadDocument().FindKey(FullPath(root, key)) != nullptr;
}

bool RegistryStore::CreateKey(RegistryRoot root, const std::string& key) {
    if (KeyExists(root, key)) return true;
    if (root != RegistryRoot::CurrentUser) return false;
    try {
        Update(FPath, [&](regfile::Document& document) {
            const std::string path = FullPath(root, key);
            if (document.FindKey(path)) return false;
            document.AddKey(path);
            return true;
        });
        return true;
    } catch (const Error&) {
        return false;
    }
}

std::optional<std::string> RegistryStore::ReadString(RegistryRoot root, const std::string& key,
                                                     const std::string& name) const {
    const regfile::Document document = LoadDocument();
    const regfile::Value* value = FindValue(document, root, key, name);
    return value ? regfile::ParseString(value->data) : std::nullopt;
}

std::optional<std::uint32_t> RegistryStore::ReadDword(RegistryRoot root, const std::string& key,
                                                      const std::string& name) const {
    const regfile::Document document = LoadDocument();
    const regfile::Value* value = FindValue(document, root, key, name);
    return value ? regfile::ParseDword(value->data) : std::nullopt;
}

bool RegistryStore::ValueExists(RegistryRoot root, const std::string& key, const std::string& name) const {
    const regfile::Document document = LoadDocument();
    return FindValue(document, root, key, name) != nullptr;
}

void RegistryStore::WriteString(const std::string& key, const std::string& name, const std::string& value) {
    WriteValue(key, name, regfile::QuoteString(value));
}

void RegistryStore::WriteDword(const std::string& key, const std::string& name, std::uint32_t value) {
    WriteValue(key, name, regfile::FormatDword(value));
}

void RegistryStore::WriteValue(const std::string& key, const std::string& name, const std::string& data) {
    Update(FPath, [&](regfile::Document& document) {
        regfile::Key& k = document.AddKey(FullPath(RegistryRoot::CurrentUser, key));
        for (regfile::Value& value : k.values) {
            if (regfile::NamesEqual(value.name, name)) {
                if (value.data == data) return false;
                value.data = data;
                return true;
            }
        }
        k.values.push_back(regfile::Value{name, data});
        return true;
    });
}

}  // namespace vb
