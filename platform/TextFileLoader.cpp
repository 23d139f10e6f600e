#include "platform/TextFileLoader.h"

#include <fstream>
#include <iterator>

#include "util/Error.h"
#include "util/Utf8.h"

namespace vb {

std::vector<std::string> LoadTextFile(const std::filesystem::path& file) {
    const Error unreadable("Die Datei " + file.string() + " kann nicht gelesen werden.");
    std::ifstream in(file, std::ios::binary);
    if (!in) throw unreadable;
    std::string bytes;
    // The stream library reports a failed read (such as of a folder) by an exception
    // of its own, with a text not meant for the user.
    try {
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    } catch (const std::exception&) {
        throw unreadable;
    }
    if (in.bad()) throw unreadable;
    bytes.append(2, '\0');

    auto unit = [&](std::size_t i) {
        return static_cast<unsigned>(static_cast<unsigned char>(bytes[i]) |
                                     (static_cast<unsigned char>(bytes[i + 1]) << 8));
    };
    std::size_t start = 0;
    if (unit(0) == 0xFEFF) {
        start = 2;
    } else if (unit(0) == 0xFFFE) {
        for (std::size_t i = 0; i + 1 < bytes.size() && unit(i) != 0; i += 2) std::swap(bytes[i], bytes[i + 1]);
        start = 2;
    }
    std::size_t end = start;
    while (end + 1 < bytes.size() && unit(end) != 0) end += 2;
    const std::string text = utf8::fromUtf16le(std::string_view(bytes).substr(start, end - start));

    std::vector<std::string> lines;
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(line);
            line.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            line += c;
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

}  // namespace vb
