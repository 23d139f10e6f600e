#include "pass/LastPass.h"

#include <charconv>

#include "platform/AtomicFile.h"
#include "util/GermanFormat.h"

namespace vb {
namespace {

// One value per line: backslashes and line breaks are escaped.
std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else out += c;
    }
    return out;
}

std::string Unescape(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char next = text[++i];
        out += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    }
    return out;
}

template <typename Number>
bool ParseNumber(const std::string& text, Number& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

}  // namespace

void RecordLastPass(const std::string& datenDir, const LastPass& pass) {
    const std::string text = std::string("ART=") + (pass.Restore ? "RESTORE" : "BACKUP") + "\n" +
                             "ZEIT=" + std::to_string(static_cast<long long>(pass.Time)) + "\n" +
                             "STATUS=" + std::to_string(pass.ExitStatus) + "\n" +
                             "FEHLER=" + Escape(pass.FirstError) + "\n" +
                             (pass.Acknowledged ? "GESEHEN=1\n" : "");
    WriteFileAtomically(datenDir + kLastPassFile, text, 0644);
}

std::optional<LastPass> ReadLastPass(const std::string& datenDir) {
    std::string content;
    if (!ReadWholeFile(datenDir + kLastPassFile, content)) return std::nullopt;
    LastPass pass;
    bool haveTime = false, haveStatus = false;
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find('\n', start);
        if (end == std::string::npos) end = content.size();
        const std::string line = content.substr(start, end - start);
        start = end + 1;
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        if (key == "ART") pass.Restore = value == "RESTORE";
        else if (key == "ZEIT") haveTime = ParseNumber(value, pass.Time);
        else if (key == "STATUS") haveStatus = ParseNumber(value, pass.ExitStatus);
        else if (key == "FEHLER") pass.FirstError = Unescape(value);
        else if (key == "GESEHEN") pass.Acknowledged = value == "1";
    }
    // A record without its time or status is no record.
    if (!haveTime || !haveStatus) return std::nullopt;
    return pass;
}

std::string LastPassText(const LastPass& pass) {
    const std::tm local = LocalTime(pass.Time);
    std::string text = std::string("Letzte unbeaufsichtigte ") + (pass.Restore ? "Wiederherstellung" : "Sicherung") +
                       " am " + FormatShortDate(local) + " um " + FormatLongTime(local);
    if (!pass.Failed()) return text + " erfolgreich";
    text += " fehlgeschlagen (Status " + std::to_string(pass.ExitStatus) + ")";
    std::string error = pass.FirstError;
    for (char& c : error)
        if (c == '\n' || c == '\r') c = ' ';
    while (error.find("  ") != std::string::npos) error.replace(error.find("  "), 2, " ");
    return error.empty() ? text : text + ": " + error;
}

}  // namespace vb
