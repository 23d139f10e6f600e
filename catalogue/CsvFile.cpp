#include "catalogue/CsvFile.h"

#include <sys/types.h>

#include <filesystem>
#include <optional>

#include "catalogue/CsvText.h"
#include "platform/AtomicFile.h"
#include "platform/FileStat.h"
#include "platform/PathWalk.h"
#include "util/CodePage.h"
#include "util/Error.h"
#include "util/Utf8.h"

namespace vb {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
// A line of the file may not exceed this many bytes as UTF-8; a longer raw line is
// rejected before it is decoded.
constexpr std::size_t kMaxRawLineBytes = 2048;

std::string TooLong(std::string_view raw, bool asUtf8) {
    const std::string_view head = raw.substr(0, 160);
    std::string text;
    if (asUtf8) {
        std::size_t pos = 0;
        while (pos < head.size()) {
            if (auto cp = utf8::next(head, pos)) {
                utf8::append(text, *cp);
            } else {
                ++pos;
                text += '?';
            }
        }
    } else {
        text = decode(kAnsiCodePage, head);
    }
    return "CSV string is too long: " + PrintableText(FirstCharacters(text, 40)) + "...";
}

}  // namespace

std::vector<CsvFileLine> ReadCsvFile(const std::string& fileName) {
    std::error_code ec;
    if (!std::filesystem::exists(fileName, ec) && !ec) return {};
    std::string bytes;
    if (ec || std::filesystem::is_directory(fileName, ec) || !ReadWholeFile(fileName, bytes)) {
        throw Error("Can't read CSV file " + fileName);
    }
    std::vector<CsvRawLine> raw = SplitCsvLines(bytes);
    bool asUtf8 = false;
    if (!raw.empty() && std::string_view(raw.front().Text).substr(0, 3) == kByteOrderMark) {
        // A first line that is nothing but the mark still says UTF-8; it is an
        // empty line then.
        asUtf8 = true;
        raw.front().Text.erase(0, kByteOrderMark.size());
        if (raw.front().Text.empty()) raw.erase(raw.begin());
    }
    std::vector<CsvFileLine> lines;
    lines.reserve(raw.size());
    for (CsvRawLine& line : raw) {
        if (line.OpenQuote) {
            std::string_view text = line.Text;
            while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.remove_suffix(1);
            if (text.find_first_of("\r\n") != std::string_view::npos) {
                throw Error(fileName + ": Unbalanced double quote in line " + std::to_string(line.LineNumber) +
                            ", the rest of the file would become one field");
            }
        }
        if (line.Text.size() > kMaxRawLineBytes) throw RangeError(TooLong(line.Text, asUtf8));
        if (asUtf8) {
            if (!utf8::isValid(line.Text)) {
                throw Error(fileName + ": Invalid UTF-8 text in line " + std::to_string(line.LineNumber));
            }
            lines.push_back({std::move(line.Text), line.LineNumber});
        } else {
            lines.push_back({decode(kAnsiCodePage, line.Text), line.LineNumber});
        }
    }
    return lines;
}

void WriteCsvFile(const std::string& fileName, const std::vector<std::string>& lines) {
    std::string ansi;
    std::string unicode(kByteOrderMark);
    bool fitsAnsi = true;
    for (const std::string& line : lines) {
        std::string_view text = line;
        while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.remove_suffix(1);
        unicode.append(text).append("\r\n");
        if (!fitsAnsi) continue;
        if (std::optional<std::string> bytes = encodeExact(kAnsiCodePage, text)) {
            ansi.append(*bytes).append("\r\n");
        } else {
            fitsAnsi = false;
        }
    }
    // Write through a symbolic link to the file it names, and keep the file's mode;
    // but only through a link of root's or this user's: one that another user put in
    // the file's place must not send this process's write where that user could not.
    std::filesystem::path target = fileName;
    for (int hops = 0; hops < 40; ++hops) {
        const auto link = platform::StatPath(target.string(), false);
        if (!link || link->Kind != platform::FileKind::Symlink) break;
        if (!platform::MayFollowLinkOf(link->Owner)) {
            throw Error("Die Datei " + fileName +
                        " kann nicht gespeichert werden: an ihrer Stelle steht eine Verkn\u00FCpfung eines anderen "
                        "Benutzers (Benutzernummer " + std::to_string(link->Owner) + ").");
        }
        std::error_code ec;
        const std::filesystem::path next = std::filesystem::read_symlink(target, ec);
        if (ec) break;
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    std::error_code ec;
    mode_t mode = 0644;
    const auto status = std::filesystem::status(target, ec);
    if (!ec && std::filesystem::exists(status)) mode = static_cast<mode_t>(status.permissions()) & 07777;
    const std::string& content = fitsAnsi ? ansi : unicode;
    // A save of the bytes the file already holds (a pass that set a field to its own
    // value) leaves the file as it is: no new file, no flush to wait for.
    if (std::string current; ReadWholeFile(target, current) && current == content) return;
    WriteFileAtomically(target, content, mode);
}

}  // namespace vb
