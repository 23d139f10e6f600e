#include "pass/CommandLine.h"

#include <algorithm>

#include "help/VersionInfo.h"
#include "util/Utf8.h"

namespace vb {
namespace {

char32_t UpperAscii(char32_t c) { return (c >= U'a' && c <= U'z') ? c - U'a' + U'A' : c; }

// The code points of a UTF-8 text; a byte that is no valid UTF-8 stands for itself,
// so every byte keeps a position and nothing is lost.
std::u32string CodePoints(const std::string& text) {
    std::u32string out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (auto cp = utf8::next(text, pos)) {
            out += *cp;
        } else {
            out += static_cast<char32_t>(0xDC00 + static_cast<unsigned char>(text[pos++]));
        }
    }
    return out;
}

std::string ToUtf8(std::u32string_view text) {
    std::string out;
    for (char32_t cp : text) {
        if (cp >= 0xDC80 && cp <= 0xDCFF) {
            out += static_cast<char>(cp - 0xDC00);  // an undecodable byte, back as it was
        } else {
            utf8::append(out, cp);
        }
    }
    return out;
}

}  // namespace

bool IsSwitch(const std::string& parameter, const std::string& name) {
    if (parameter.empty() || (parameter[0] != '-' && parameter[0] != '/')) return false;
    const std::u32string rest = CodePoints(parameter.substr(1));
    const std::u32string wanted = CodePoints(name);
    if (rest.size() != wanted.size()) return false;
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (UpperAscii(rest[i]) != UpperAscii(wanted[i])) return false;
    }
    return true;
}

std::string RawCommandLine(const std::string& programPath, const std::vector<std::string>& parameters) {
    std::string line = programPath;
    for (const std::string& parameter : parameters) line += " " + parameter;
    return line;
}

std::size_t CharacterCount(const std::string& text) { return CodePoints(text).size(); }

std::string JobListText(const std::vector<std::string>& parameters, const std::string& rawCommandLine,
                        std::size_t programPathLength) {
    const std::u32string raw = CodePoints(rawCommandLine);
    const std::u32string first = parameters.empty() ? std::u32string() : CodePoints(parameters.front());
    std::size_t p = 0;  // 1-based position of the switch, 0 when not found
    if (!first.empty()) {
        std::u32string upper = raw;
        for (char32_t& c : upper) c = UpperAscii(c);
        const std::size_t found =
            upper.find(first.front() + std::u32string(U"BACKUP"), std::min(programPathLength, upper.size()));
        if (found != std::u32string::npos) p = found + 1;
    }
    // From position p + 7 (1-based) to the end.
    const std::size_t from = p + 6;
    return from < raw.size() ? ToUtf8(std::u32string_view(raw).substr(from)) : std::string();
}

std::string UsageText() {
    return "Aufruf: VorlixBackup /BACKUP oder VorlixBackup /RESTORE\n"
           "\n"
           "  vorlixbackup                     öffnet das Programmfenster\n"
           "  vorlixbackup /BACKUP             sichert alle Jobs mit Automatik\n"
           "  vorlixbackup /BACKUP Job1,Job2   sichert die genannten Jobs\n"
           "  vorlixbackup /RESTORE            stellt alle Jobs mit Automatik wieder her\n"
           "  vorlixbackup --versions DATEI    zeigt die gesicherten Versionen einer Datei\n"
           "  vorlixbackup --help              zeigt diesen Text\n"
           "  vorlixbackup --version           zeigt die Version\n"
           "\n"
           "Schalter beginnen mit / oder -, Groß- und Kleinschreibung ist gleich.\n"
           "Passwort für geschützte Archive ohne Bildschirm: erste Zeile der Datei\n"
           "VORLIXBACKUP_PASSWORD_FILE (Rechte 600), sonst VORLIXBACKUP_PASSWORD.\n"
           "Rückgabewert: 0 alles gesichert, 1 Fehler oder fehlende Dateien,\n"
           "2 unzulässiger Parameter. Mehr: man vorlixbackup\n";
}

std::string VersionText() {
    const VersionInfo& info = ProgramVersionInfo();
    return info.InternalName + " " + info.FileVersion + "\n";
}

EntryDecision DecideEntry(const std::vector<std::string>& parameters, const std::string& rawCommandLine,
                          std::size_t programPathLength) {
    EntryDecision decision;
    if (parameters.empty()) return decision;
    auto present = [&](const char* name) {
        for (const std::string& parameter : parameters) {
            if (IsSwitch(parameter, name)) return true;
        }
        return false;
    };
    if (present("BACKUP")) {
        decision.mode = EntryMode::Backup;
        if (parameters.size() >= 2) decision.jobs = JobListText(parameters, rawCommandLine, programPathLength);
    } else if (present("RESTORE")) {
        decision.mode = EntryMode::Restore;
    } else if (std::any_of(parameters.begin(), parameters.end(), [](const std::string& parameter) {
                   return parameter == "--help" || parameter == "/?" || parameter == "-?";
               })) {
        decision.mode = EntryMode::Help;
    } else if (std::find(parameters.begin(), parameters.end(), "--version") != parameters.end()) {
        decision.mode = EntryMode::Version;
    } else if (parameters.front() == "--versions" && parameters.size() == 2 && !parameters[1].empty()) {
        decision.mode = EntryMode::Versions;
        decision.path = parameters[1];
    } else {
        decision.mode = EntryMode::UsageError;
        decision.errorMessage = "Unzulässiger Parameter! (" + parameters.front() + ")\n" +
                                "Aufruf: VorlixBackup /BACKUP oder VorlixBackup /RESTORE";
    }
    return decision;
}

}  // namespace vb
