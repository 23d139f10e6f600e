#include "dbcheck/DBPassword.h"

#include "platform/RegistryStore.h"
#include "platform/RegistryWholeString.h"
#include "util/CodePage.h"
#include "util/Error.h"

namespace vb {
namespace {

constexpr std::string_view kScrambleKey = "Marlon Quisty";
constexpr std::size_t kMaxPasswordBytes = 255;

void WriteDefault(RegistryStore& store, std::string& stored) {
    stored = ScrambleText(kDefaultDBPassword);
    store.WriteString(kProductKey, kPasswordValue, stored);
}

}  // namespace

std::string ScrambleText(std::string_view text) {
    std::string bytes = encodeLossy(kAnsiCodePage, text);
    if (bytes.size() > kMaxPasswordBytes) bytes.resize(kMaxPasswordBytes);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i >= kScrambleKey.size()) throw RangeError(kRangeErrorText);
        bytes[i] = static_cast<char>(bytes[i] ^ kScrambleKey[i]);
    }
    return decode(kAnsiCodePage, bytes);
}

std::string GetDBPassword(RegistryStore& store) {
    if (!store.CreateKey(RegistryRoot::CurrentUser, kProductKey)) return {};
    std::string stored;
    try {
        // A value of another type reads as missing here; it is replaced like one. The
        // scrambled text may hold NULs (the default "pelnor" has one at its fifth
        // byte), so it is read whole, not up to its first NUL.
        stored = ReadWholeString(store, RegistryRoot::CurrentUser, kProductKey, kPasswordValue).value_or("");
        if (stored.empty()) WriteDefault(store, stored);
    } catch (const RegistryError&) {
        WriteDefault(store, stored);
    }
    return ScrambleText(stored);
}

}  // namespace vb
