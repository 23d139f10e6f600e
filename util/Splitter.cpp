#include "util/Splitter.h"

namespace vb {
namespace {
std::size_t gTokenPosition = 0;  // the program-wide position, see the header
}

std::string NextToken(std::string_view text, char separator) {
    if (gTokenPosition >= text.size()) {
        gTokenPosition = text.size() + 1;
        return {};
    }
    const std::size_t end = text.find(separator, gTokenPosition);
    const std::size_t stop = end == std::string_view::npos ? text.size() : end;
    std::string piece(text.substr(gTokenPosition, stop - gTokenPosition));
    gTokenPosition = stop + 1;
    return piece;
}

std::string FirstToken(std::string_view text, char separator) {
    gTokenPosition = 0;
    return NextToken(text, separator);
}

}  // namespace vb
