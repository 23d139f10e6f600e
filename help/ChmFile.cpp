#include "help/ChmFile.h"

#include <chm_lib.h>

#include <algorithm>

#include "util/Error.h"

namespace vb {
namespace {

std::uint32_t U16(const std::string& b, std::size_t at) {
    return static_cast<unsigned char>(b[at]) | (static_cast<unsigned char>(b[at + 1]) << 8);
}
std::uint32_t U32(const std::string& b, std::size_t at) { return U16(b, at) | (U16(b, at + 2) << 16); }

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    });
    return text;
}

// Path parts without empty ones; backslashes count as separators.
std::vector<std::string> PathSegments(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    for (const char c : path + "/") {
        if (c == '/' || c == '\\') {
            if (!part.empty() && part != ".") parts.push_back(Lower(part));
            part.clear();
        } else {
            part += c;
        }
    }
    return parts;
}

// A C string from `at` in `b`, up to its NUL or the end.
std::string CString(const std::string& b, std::size_t at) {
    if (at >= b.size()) return {};
    const std::size_t end = b.find('\0', at);
    return b.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

int CollectTopic(chmFile*, chmUnitInfo* ui, void* context) {
    const std::string path = ui->path;
    if (!path.empty() && path.back() != '/') static_cast<std::vector<std::string>*>(context)->push_back(path);
    return CHM_ENUMERATOR_CONTINUE;
}

}  // namespace

std::optional<std::string> ResolveMappedTopic(const std::string& mapped, const std::vector<std::string>& topics) {
    const std::vector<std::string> wanted = PathSegments(mapped);
    std::optional<std::string> best;
    std::size_t bestCount = 0;
    for (const std::string& topic : topics) {
        const std::vector<std::string> have = PathSegments(topic);
        if (have.empty() || have.size() > wanted.size()) continue;
        if (!std::equal(have.rbegin(), have.rend(), wanted.rbegin())) continue;
        if (have.size() > bestCount) best = topic, bestCount = have.size();
    }
    return best;
}

ChmFile::ChmFile(const std::string& path) {
    FHandle = chm_open(path.c_str());
    if (!FHandle) throw Error("Die Hilfedatei " + path + " kann nicht gelesen werden.");
    chm_enumerate(FHandle, CHM_ENUMERATE_NORMAL | CHM_ENUMERATE_FILES, CollectTopic, &FTopics);
    ReadSystem();
}

ChmFile::~ChmFile() {
    if (FHandle) chm_close(FHandle);
}

std::optional<std::string> ChmFile::Read(const std::string& path) const {
    chmUnitInfo info;
    if (chm_resolve_object(FHandle, path.c_str(), &info) != CHM_RESOLVE_SUCCESS) return std::nullopt;
    std::string bytes(static_cast<std::size_t>(info.length), '\0');
    if (info.length == 0) return bytes;
    const LONGINT64 got =
        chm_retrieve_object(FHandle, &info, reinterpret_cast<unsigned char*>(bytes.data()), 0, info.length);
    if (got != static_cast<LONGINT64>(info.length)) return std::nullopt;
    return bytes;
}

// #SYSTEM: a version number, then records of a 16-bit code, a 16-bit length and the
// data. Code 1 is the index file, code 2 the default topic, code 3 the title.
void ChmFile::ReadSystem() {
    const auto system = Read("/#SYSTEM");
    if (!system) return;
    for (std::size_t at = 4; at + 4 <= system->size();) {
        const std::uint32_t code = U16(*system, at), length = U16(*system, at + 2);
        if (at + 4 + length > system->size()) break;
        const std::string data = CString(system->substr(at + 4, length), 0);
        if (code == 1) FIndexFile = ResolveMappedTopic(data, FTopics).value_or("");
        if (code == 2) FDefaultTopic = ResolveMappedTopic(data, FTopics).value_or("");
        if (code == 3) FTitle = data;
        at += 4 + length;
    }
}

// #IVB: a 32-bit byte count, then pairs of a context number and an offset into
// #STRINGS, where the topic's path is kept as a C string.
std::optional<std::string> ChmFile::TopicOfContext(std::uint32_t number) const {
    const auto map = Read("/#IVB");
    const auto strings = Read("/#STRINGS");
    if (!map || !strings || map->size() < 4) return std::nullopt;
    const std::size_t end = std::min<std::size_t>(map->size(), 4 + std::size_t(U32(*map, 0)));
    for (std::size_t at = 4; at + 8 <= end; at += 8) {
        if (U32(*map, at) != number) continue;
        const std::string mapped = CString(*strings, U32(*map, at + 4));
        if (mapped.empty()) return std::nullopt;
        return ResolveMappedTopic(mapped, FTopics);
    }
    return std::nullopt;
}

}  // namespace vb
