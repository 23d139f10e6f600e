#include "help/VersionInfo.h"

#include <cctype>

namespace vb {

const VersionInfo& ProgramVersionInfo() {
    static const VersionInfo info{
        "VorlixBackup",
        "Vorlix Backup & Restore",
        VB_FILE_VERSION,
        "Vorlix",
        "Vorlix-Backup",
        "%d Vorlix",
    };
    return info;
}

std::string FormatCopyright(const std::string& legalCopyright, int year) {
    std::string out;
    for (std::size_t i = 0; i < legalCopyright.size(); ++i) {
        if (legalCopyright[i] != '%') {
            out += legalCopyright[i];
            continue;
        }
        if (i + 1 < legalCopyright.size() && legalCopyright[i + 1] == '%') {
            out += '%';
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        while (j < legalCopyright.size() && std::isdigit(static_cast<unsigned char>(legalCopyright[j]))) ++j;
        if (j < legalCopyright.size() && (legalCopyright[j] == 'd' || legalCopyright[j] == 'u')) {
            const std::size_t width = j > i + 1 ? std::stoul(legalCopyright.substr(i + 1, j - i - 1)) : 0;
            std::string number = std::to_string(year);
            if (number.size() < width) number.insert(0, width - number.size(), ' ');
            out += number;
            i = j;
        } else {
            out += '%';
        }
    }
    return out;
}

}  // namespace vb
