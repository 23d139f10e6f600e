#include "util/Splitter.h"

#include <gtest/gtest.h>

#include <vector>

namespace vb {
namespace {

std::vector<std::string> SplitAll(const std::string& text) {
    std::vector<std::string> pieces;
    for (std::string piece = FirstToken(text, ';'); !piece.empty(); piece = NextToken(text, ';')) {
        pieces.push_back(piece);
    }
    return pieces;
}

TEST(Splitter, StopsAtTheFirstEmptyPieceAndDoesNotTrim) {
    struct Case {
        const char* text;
        std::vector<std::string> pieces;
    } cases[] = {
        {"", {}},
        {"*.mdb", {"*.mdb"}},
        {"*.ini;*.txt;*.html", {"*.ini", "*.txt", "*.html"}},
        {"*.ini;", {"*.ini"}},
        {"*.ini;;*.txt", {"*.ini"}},
        {";*.txt", {}},
        {" *.a ; *.b", {" *.a ", " *.b"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(SplitAll(c.text), c.pieces);
    }
}

TEST(Splitter, PositionIsSharedAcrossTexts) {
    // A NextToken on another text continues at the position the last call left.
    EXPECT_EQ(FirstToken("ab;cd", ';'), "ab");
    EXPECT_EQ(NextToken("xyzw;uv", ';'), "w");
    EXPECT_EQ(NextToken("xyzw;uv", ';'), "uv");
    EXPECT_EQ(NextToken("xyzw;uv", ';'), "");
}

}  // namespace
}  // namespace vb
