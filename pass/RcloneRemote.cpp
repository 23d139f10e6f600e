#include "pass/RcloneRemote.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "platform/ProcessRunner.h"
#include "util/Error.h"

namespace vb {
namespace {

std::string Quoted(const std::string& text) { return "\u201E" + text + "\u201C"; }

bool Contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

// A transfer tries again after a short break in the connection, but a remote that
// stays away fails the pass within about a minute instead of hanging it.
const std::vector<std::string> kCommonFlags = {"--ask-password=false", "--retries",  "2",  "--low-level-retries",
                                               "3",                     "--contimeout", "15s", "--timeout",
                                               "60s"};

std::vector<std::string> Command(std::initializer_list<std::string> args) {
    std::vector<std::string> argv = {"rclone"};
    argv.insert(argv.end(), args.begin(), args.end());
    argv.insert(argv.end(), kCommonFlags.begin(), kCommonFlags.end());
    return argv;
}

// A local path as rclone must see it: a relative one with a colon would name a remote.
std::string LocalArgument(const std::string& path) { return path.starts_with('/') ? path : "./" + path; }

// Calls `each` with every line of `text`, without its line end.
void ForEachLine(std::string_view text, const std::function<void(std::string_view)>& each) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        each(text.substr(start, end - start));
        start = end + 1;
    }
}

// The text of a log line of rclone without its date, and the "msg" of a JSON line.
std::string LineText(std::string_view line) {
    if (line.starts_with('{')) {
        const std::size_t at = line.find("\"msg\":\"");
        if (at == std::string_view::npos) return {};
        std::string text;
        for (std::size_t i = at + 7; i < line.size() && line[i] != '"'; ++i) {
            if (line[i] == '\\' && i + 1 < line.size()) {
                ++i;
                text += line[i] == 'n' ? ' ' : line[i];
            } else {
                text += line[i];
            }
        }
        return text;
    }
    // "2026/12/10 21:35:23 ERROR : ..." loses its date and time.
    if (line.size() > 20 && line[4] == '/' && line[7] == '/' && line[13] == ':') line.remove_prefix(20);
    return std::string(line);
}

// What rclone complained about: its standard error without the progress lines of a
// transfer, whose byte counts must not be read as status codes.
std::string Complaints(const std::string& errors) {
    std::string text;
    ForEachLine(errors, [&](std::string_view line) {
        if (!Contains(line, "\"stats\":{")) text.append(line).append("\n");
    });
    return text;
}

// rclone's last line that says something.
std::string LastWords(const std::string& complaints) {
    std::string last;
    ForEachLine(complaints, [&](std::string_view line) {
        if (Contains(line, "Config file")) return;
        if (std::string text = LineText(line); !text.empty()) last = std::move(text);
    });
    return last;
}

// What went wrong, in German, from what rclone wrote to standard error.
std::string Reason(const platform::StreamedResult& result, const std::string& target) {
    if (result.ExitStatus == 127) {
        return "Das Programm rclone wurde nicht gefunden; bitte das Debian-Paket \u201Erclone\u201C installieren.";
    }
    const std::string e = Complaints(result.Errors);
    const std::string remote = target.substr(0, target.find(':'));
    if (Contains(e, "didn't find section in config file") || Contains(e, "not found in config")) {
        return "Das Ziel " + Quoted(remote) + " ist in der rclone-Konfiguration nicht eingerichtet (rclone config).";
    }
    if (Contains(e, "401 Unauthorized") || Contains(e, "403 Forbidden") || Contains(e, "unable to authenticate") ||
        Contains(e, "AccessDenied") || Contains(e, "InvalidAccessKeyId") || Contains(e, "SignatureDoesNotMatch")) {
        return "Die Anmeldung am Ziel " + Quoted(remote) +
               " wurde abgelehnt; bitte Benutzername und Passwort in der rclone-Konfiguration pr\u00FCfen.";
    }
    if (Contains(e, "Insufficient Storage") || Contains(e, "no space left") ||
        Contains(e, "quota") || Contains(e, "Quota")) {
        return "Auf dem Ziel " + Quoted(remote) + " ist kein Platz mehr frei.";
    }
    if (Contains(e, "connection refused") || Contains(e, "connection reset") || Contains(e, "EOF") ||
        Contains(e, "broken pipe") || Contains(e, "timeout") || Contains(e, "no such host") ||
        Contains(e, "unreachable") || Contains(e, "connection lost")) {
        return "Die Verbindung zum Ziel " + Quoted(remote) + " ist fehlgeschlagen oder abgebrochen.";
    }
    return "rclone konnte den Auftrag f\u00FCr das Ziel " + Quoted(remote) + " nicht ausf\u00FChren.";
}

[[noreturn]] void Fail(const platform::StreamedResult& result, const std::string& target) {
    std::string text = Reason(result, target);
    if (const std::string last = LastWords(Complaints(result.Errors)); !last.empty()) text += " (rclone: " + last + ")";
    throw Error(text);
}

platform::StreamedResult Run(const std::vector<std::string>& argv, const std::string& target,
                             const TransferProgress& progress = {}) {
    platform::StreamedResult result = platform::RunCommandStreamed(argv, [&](std::string_view line) {
        // {"level":...,"stats":{"bytes":N,...,"totalBytes":M,...}}
        const std::size_t stats = line.find("\"stats\":{");
        if (!progress || stats == std::string_view::npos) return;
        const auto number = [&](std::string_view key) -> std::uint64_t {
            const std::size_t at = line.find(key, stats);
            return at == std::string_view::npos ? 0 : std::strtoull(line.data() + at + key.size(), nullptr, 10);
        };
        progress(number("\"bytes\":"), number("\"totalBytes\":"));
    });
    if (result.ExitStatus != 0) Fail(result, target);
    return result;
}

// A copy whose progress rclone reports as JSON lines four times a second.
std::vector<std::string> TransferCommand(const std::string& from, const std::string& to) {
    return Command({"copyto", from, to, "--use-json-log", "--stats", "250ms", "--stats-log-level", "NOTICE"});
}

std::string Trimmed(std::string text) {
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.pop_back();
    return text;
}

// "2026-12-10 21:35:11", the local time that rclone lsf shows.
std::time_t ParseLocalTime(const std::string& text) {
    std::tm tm{};
    if (std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d", &tm.tm_year, &tm.tm_mon, &tm.tm_mday, &tm.tm_hour, &tm.tm_min,
                    &tm.tm_sec) != 6)
        return 0;
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

}  // namespace

TransferProgress ProgressOnHost(RunHost& host, const std::string& text) {
    return [&host, text](std::uint64_t done, std::uint64_t total) {
        if (total == 0) return;
        host.SetStatus(text + " (" + std::to_string(done * 100 / total) + " %)");
        host.SetProgress(static_cast<int>(done * 1000 / total), 1000);
        host.Breathe();
    };
}

RcloneRemote::RcloneRemote(std::string target) : FTarget(std::move(target)) {
    // rclone would read a leading "-" as one of its options.
    if (FTarget.empty() || FTarget.front() == '-' || FTarget.find(':') == std::string::npos)
        throw Error("Das Ziel " + Quoted(FTarget) + " ist kein rclone-Ziel der Form remote:Ordner.");
}

std::string RcloneRemote::PathOf(const std::string& name) const {
    if (FTarget.empty() || FTarget.back() == ':' || FTarget.back() == '/') return FTarget + name;
    return FTarget + "/" + name;
}

std::vector<RemoteFile> RcloneRemote::List() const {
    const std::vector<std::string> argv =
        Command({"lsf", "--files-only", "--format", "stp", "--separator", "\t", FTarget});
    platform::StreamedResult result = platform::RunCommandStreamed(argv, {});
    // Exit status 3: the folder does not exist yet, so it holds nothing.
    if (result.ExitStatus == 3) return {};
    if (result.ExitStatus != 0) Fail(result, FTarget);
    std::vector<RemoteFile> files;
    // "size<TAB>time<TAB>name": the name comes last, so that a tab in it does no harm.
    ForEachLine(result.Output, [&](std::string_view line) {
        const std::size_t tab1 = line.find('\t');
        const std::size_t tab2 = tab1 == std::string_view::npos ? tab1 : line.find('\t', tab1 + 1);
        if (tab2 == std::string_view::npos) return;
        RemoteFile file;
        file.Size = std::strtoull(std::string(line.substr(0, tab1)).c_str(), nullptr, 10);
        file.ModTime = ParseLocalTime(std::string(line.substr(tab1 + 1, tab2 - tab1 - 1)));
        file.Name = std::string(line.substr(tab2 + 1));
        files.push_back(std::move(file));
    });
    return files;
}

std::optional<RemoteFile> RcloneRemote::Describe(const std::string& name) const {
    const std::vector<std::string> argv = Command(
        {"lsjson", "--files-only", "--no-mimetype", "--hash-type", "MD5", "--hash-type", "SHA-1", PathOf(name)});
    const platform::StreamedResult result = platform::RunCommandStreamed(argv, {});
    if (result.ExitStatus == 3) return std::nullopt;
    if (result.ExitStatus != 0) Fail(result, FTarget);
    // One object per line: {"Path":...,"Size":N,...,"Hashes":{"md5":"...","sha1":"..."}}.
    const std::string& json = result.Output;
    const std::size_t size = json.find("\"Size\":");
    if (size == std::string::npos) return std::nullopt;
    RemoteFile file;
    file.Name = name;
    file.Size = std::strtoull(json.c_str() + size + 7, nullptr, 10);
    const auto hex = [&](const char* key) {
        const std::size_t at = json.find(key);
        if (at == std::string::npos) return std::string();
        const std::size_t start = at + std::strlen(key);
        return json.substr(start, json.find('"', start) - start);
    };
    if (std::string md5 = hex("\"md5\":\""); !md5.empty()) {
        file.Hash = FileHash{"MD5", std::move(md5)};
    } else if (std::string sha1 = hex("\"sha1\":\""); !sha1.empty()) {
        file.Hash = FileHash{"SHA-1", std::move(sha1)};
    }
    return file;
}

void RcloneRemote::Upload(const std::string& localPath, const std::string& name,
                          const TransferProgress& progress) const {
    Run(TransferCommand(LocalArgument(localPath), PathOf(name)), FTarget, progress);
}

void RcloneRemote::Download(const std::string& name, const std::string& localPath,
                            const TransferProgress& progress) const {
    Run(TransferCommand(PathOf(name), LocalArgument(localPath)), FTarget, progress);
}

void RcloneRemote::Move(const std::string& from, const std::string& to) const {
    Run(Command({"moveto", PathOf(from), PathOf(to)}), FTarget);
}

void RcloneRemote::Delete(const std::string& name) const { Run(Command({"deletefile", PathOf(name)}), FTarget); }

std::string RcloneRemote::LocalHash(const std::string& localPath, const std::string& kind) {
    const platform::StreamedResult result =
        Run(Command({"hashsum", kind, LocalArgument(localPath)}), LocalArgument(localPath));
    return result.Output.substr(0, result.Output.find(" "));
}

std::vector<std::string> RcloneRemote::ListRemotes() {
    const platform::StreamedResult result = Run(Command({"listremotes"}), "");
    std::vector<std::string> names;
    ForEachLine(result.Output, [&](std::string_view line) {
        std::string name = Trimmed(std::string(line));
        if (name.ends_with(':')) name.pop_back();
        if (!name.empty()) names.push_back(std::move(name));
    });
    return names;
}

}  // namespace vb
