#include "zip/EntryName.h"

#include <libdeflate.h>

#include <algorithm>

#include "zip/ByteOrder.h"
#include "zip/ZipRecords.h"
#include "util/CodePage.h"
#include "util/Utf8.h"

namespace vb::zip {

std::string StoredNameFromPath(std::string_view path, bool folder) {
    std::string name;
    name.reserve(path.size() + 1);
    for (char c : path) {
        if (c == '/' && !name.empty() && name.back() == '/') continue;
        name.push_back(c);
    }
    std::string_view rest = name;
    for (;;) {
        if (rest.starts_with("/")) rest.remove_prefix(1);
        else if (rest.starts_with("../")) rest.remove_prefix(3);
        else if (rest.starts_with("./")) rest.remove_prefix(2);
        else break;
    }
    std::string result(rest);
    if (result == ".." || result == ".") result.clear();
    while (!result.empty() && result.back() == '/') result.pop_back();
    if (folder && !result.empty()) result.push_back('/');
    return result;
}

std::optional<EncodedName> EncodeName(std::string_view storedName) {
    if (!utf8::isValid(storedName)) return std::nullopt;
    EncodedName out;
    if (auto oem = encodeExact(kOemCodePage, storedName)) {
        out.Bytes = *oem;
        out.Host = kHostMsDos;
    } else if (auto ansi = encodeExact(kAnsiCodePage, storedName)) {
        out.Bytes = *ansi;
        out.Host = kHostNtfs;
    } else if (auto oemFit = encodeBestFit(kOemCodePage, storedName)) {
        out.Bytes = *oemFit;
        out.Host = kHostMsDos;
    } else if (auto ansiFit = encodeBestFit(kAnsiCodePage, storedName)) {
        out.Bytes = *ansiFit;
        out.Host = kHostNtfs;
    } else {
        // As Info-ZIP does on Unix: unzip only trusts UTF-8 names of this host.
        out.Bytes = std::string(storedName);
        out.Host = kHostUnix;
        out.Utf8Flag = true;
    }
    if (!out.Utf8Flag && !utf8::isAscii(storedName)) {
        std::string data;
        data.push_back(1);  // version
        Put32(data, libdeflate_crc32(0, out.Bytes.data(), out.Bytes.size()));
        data.append(storedName);
        AppendExtraField(out.UnicodeExtra, kUnicodePathExtraId, data);
    }
    return out;
}

namespace {

bool UsesBackslashes(std::uint8_t host) {
    return host == kHostMsDos || host == kHostHpfs || host == kHostNtfs || host == kHostVfat;
}

// The decoded name in the program's form: "/" between folders, no drive in front.
std::string ProgramForm(std::string name, std::uint8_t host) {
    if (UsesBackslashes(host)) std::replace(name.begin(), name.end(), '\\', '/');
    const char letter = static_cast<char>(name.empty() ? 0 : name[0] | 0x20);
    const bool drive = name.size() >= 2 && name[1] == ':' && letter >= 'a' && letter <= 'z';
    if (drive) name.erase(0, name.size() >= 3 && (name[2] == '/' || name[2] == '\\') ? 3 : 2);
    return name;
}

std::string DecodeBytes(std::string_view headerBytes, std::uint16_t flags, std::uint8_t host, std::string_view extra) {
    const bool validUtf8 = utf8::isValid(headerBytes);
    if (validUtf8 && (flags & kFlagUtf8)) return std::string(headerBytes);
    // A field that names these very bytes is surer than a guess: code page bytes such
    // as D6 96 ("Ö–" in Windows-1252) also happen to form valid UTF-8.
    if (auto field = FindExtraField(extra, kUnicodePathExtraId); field && field->size() >= 5) {
        const auto* p = reinterpret_cast<const unsigned char*>(field->data());
        const std::string_view name = field->substr(5);
        if (p[0] == 1 && Get32(p + 1) == libdeflate_crc32(0, headerBytes.data(), headerBytes.size()) &&
            utf8::isValid(name))
            return std::string(name);
    }
    if (validUtf8 && !utf8::isAscii(headerBytes)) return std::string(headerBytes);
    if (auto field = FindExtraField(extra, kXceedUnicodeExtraId); field && field->size() >= 6) {
        const auto* p = reinterpret_cast<const unsigned char*>(field->data());
        const std::size_t count = Get16(p + 4);
        if (field->substr(0, 4) == "NUCX" && field->size() >= 6 + 2 * count && count > 0)
            return utf8::fromUtf16le(field->substr(6, 2 * count));
    }
    return decode(host == kHostMsDos ? kOemCodePage : kAnsiCodePage, headerBytes);
}

}  // namespace

std::string DecodeName(std::string_view headerBytes, std::uint16_t flags, std::uint8_t host, std::string_view extra) {
    return ProgramForm(DecodeBytes(headerBytes, flags, host, extra), host);
}

bool IsSafeSegment(std::string_view segment) {
    if (segment.empty() || segment == "." || segment == ".." || segment.find('/') != std::string_view::npos) return false;
    for (const char c : segment) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
    }
    return true;
}

std::optional<std::vector<std::string>> SafeSegments(const std::string& name) {
    if (name.empty() || name.front() == '/') return std::nullopt;
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start < name.size()) {
        const std::size_t slash = name.find('/', start);
        const std::string part = name.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        start = slash == std::string::npos ? name.size() : slash + 1;
        if (part == "." && parts.empty() && slash != std::string::npos) continue;
        if (!IsSafeSegment(part)) return std::nullopt;
        parts.push_back(part);
    }
    if (parts.empty() && name.back() != '/') return std::nullopt;
    return parts;
}

}  // namespace vb::zip
