#include "restore/RestorePreview.h"

#include "util/EscapeControl.h"
#include "util/GermanFormat.h"

namespace vb {
namespace {

std::string Files(std::size_t n) {
    return FormatThousands(static_cast<std::int64_t>(n)) + (n == 1 ? " Datei" : " Dateien");
}

}  // namespace

RestorePreview RestorePreview::Of(const std::vector<ArchiveEntry>& entries, const std::vector<DiskState>& states,
                                  const std::vector<std::size_t>& selected) {
    RestorePreview preview;
    for (const std::size_t index : selected) {
        if (index >= entries.size() || entries[index].IsFolder()) continue;
        switch (index < states.size() ? states[index] : DiskState::Unknown) {
        case DiskState::Neu: ++preview.Created; break;
        case DiskState::Gleich: ++preview.Unchanged; break;
        case DiskState::NeuerAufPlatte: preview.Newer.push_back(index); break;
        default: ++preview.Replaced; break;
        }
    }
    return preview;
}

std::string RestorePreview::Text(const std::vector<ArchiveEntry>& entries) const {
    std::string text = "Es werden " + Files(Replaced) + " ersetzt und " + Files(Created) + " neu angelegt";
    if (Unchanged > 0) text += "; " + Files(Unchanged) + (Unchanged == 1 ? " ist" : " sind") + " unver\xC3\xA4ndert";
    text += ".";
    if (Newer.empty()) return text;
    text += "\n\n" + Files(Newer.size()) + (Newer.size() == 1 ? " ist" : " sind") +
            " auf der Platte neuer als in der Sicherung:\n";
    constexpr std::size_t kNamed = 20;
    for (std::size_t i = 0; i < Newer.size() && i < kNamed; ++i) text += "\n" + EscapeControl(entries[Newer[i]].Name);
    if (Newer.size() > kNamed)
        text += "\n... und " + FormatThousands(static_cast<std::int64_t>(Newer.size() - kNamed)) + " weitere";
    text +=
        "\n\n\xE2\x80\x9E"
        "Neuere behalten\xE2\x80\x9C stellt sie nicht wieder her.";
    return text;
}

}  // namespace vb
