#include "pass/StandardErrorBoxes.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/AtomicFile.h"
#include "util/Error.h"
#include "util/EscapeControl.h"

namespace vb {

// One box, one line: its line breaks become blanks, and any other control character
// (a file name may hold one) is written out as an escape, never sent to the terminal.
void StandardErrorBoxes::WriteLine(const std::string& title, const std::string& text, const std::string& answer) {
    std::string line = title + ": ";
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        line += text[i] == '\r' || text[i] == '\n' ? ' ' : text[i];
    }
    if (!answer.empty()) line += " -> " + answer;
    const std::string shown = EscapeControl(line) + "\n";
    std::fwrite(shown.data(), 1, shown.size(), FOut);
    std::fflush(FOut);
}

void StandardErrorBoxes::ShowError(const std::string& text) { WriteLine("Fehler", text); }

bool StandardErrorBoxes::ConfirmYesNo(const std::string& text) {
    WriteLine("Bestätigen", text, "Nein");
    return false;
}

bool StandardErrorBoxes::ConfirmOkCancel(const std::string& text) {
    WriteLine("Bestätigen", text, "Abbrechen");
    return false;
}

void StandardErrorBoxes::ShowMessage(const std::string& text) { WriteLine("Vorlix-Backup", text); }

std::optional<std::string> StandardErrorBoxes::AskPassword(const std::string&, const std::string&) {
    if (const char* path = std::getenv("VORLIXBACKUP_PASSWORD_FILE"); path && *path) {
        // Read without blocking: a FIFO in the file's place must not hang the pass.
        std::string content;
        if (!ReadWholeFile(path, content)) {
            const int error = errno;
            throw Error(std::string("Die Passwortdatei ") + path + " kann nicht gelesen werden: " +
                        (error == EINVAL ? "keine gewöhnliche Datei" : std::strerror(error)));
        }
        return content.substr(0, content.find_first_of("\r\n"));
    }
    if (const char* password = std::getenv("VORLIXBACKUP_PASSWORD")) return std::string(password);
    return std::nullopt;
}

}  // namespace vb
