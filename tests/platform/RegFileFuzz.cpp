// libFuzzer target for the .reg reader. An input that parses must format to a text
// that parses to the same keys and values again, and every value's data is read as
// the string and the DWORD the registry store would take from it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/RegFile.h"

namespace {

bool SameDocument(const vb::regfile::Document& a, const vb::regfile::Document& b) {
    if (a.keys.size() != b.keys.size()) return false;
    for (std::size_t k = 0; k < a.keys.size(); ++k) {
        const auto& x = a.keys[k];
        const auto& y = b.keys[k];
        if (x.path != y.path || x.values.size() != y.values.size()) return false;
        for (std::size_t v = 0; v < x.values.size(); ++v) {
            if (x.values[v].name != y.values[v].name || x.values[v].data != y.values[v].data) return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto document = vb::regfile::Parse(text);
    if (!document) return 0;
    for (const auto& key : document->keys) {
        for (const auto& value : key.values) {
            (void)vb::regfile::ParseString(value.data);
            (void)vb::regfile::ParseDword(value.data);
        }
    }
    const auto again = vb::regfile::Parse(vb::regfile::Format(*document));
    if (!again || !SameDocument(*document, *again)) std::abort();
    return 0;
}
