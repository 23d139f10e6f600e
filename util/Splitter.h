#pragma once
// The shared splitter. FirstToken returns the piece of `text` up to the first
// separator and sets one program-wide position behind it; NextToken returns the next
// piece of `text` from that position. A piece ends at the separator or at the end of
// the text; pieces are not trimmed; an empty piece ends the sequence. Because the
// position is shared, no other use of the splitter may come between the calls of
// one loop.
#include <string>
#include <string_view>

namespace vb {

std::string FirstToken(std::string_view text, char separator);
std::string NextToken(std::string_view text, char separator);

}  // namespace vb
