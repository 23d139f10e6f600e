#include "util/Utf8.h"

#include <gtest/gtest.h>

namespace vb {
namespace {

TEST(Utf8, Validity) {
    const std::pair<const char*, bool> cases[] = {
        {"plain", true}, {"Schüler", true}, {"😀", true},
        {"\xC3", false}, {"\xC0\xAF", false} /* overlong */, {"\xED\xA0\x80", false} /* surrogate */,
        {"\xF4\x90\x80\x80", false} /* above U+10FFFF */, {"\x80", false}};
    for (auto [text, valid] : cases) EXPECT_EQ(utf8::isValid(text), valid) << text;
}

TEST(Utf8, Utf16RoundTrip) {
    const std::string text = "aü€😀";
    const std::string wide = utf8::toUtf16le(text);
    EXPECT_EQ(wide, std::string("a\0\xFC\0\xAC\x20\x3D\xD8\x00\xDE", 10));
    EXPECT_EQ(utf8::fromUtf16le(wide), text);
}

}  // namespace
}  // namespace vb
