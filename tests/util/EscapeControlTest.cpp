#include "util/EscapeControl.h"

#include <gtest/gtest.h>

#include <string>

namespace vb {
namespace {

TEST(EscapeControl, ControlBytesBecomeEscapesAndAllElseStays) {
    struct Case {
        const char* name;
        std::string text;
        std::string shown;
    } cases[] = {
        {"plain", "Daten/Liste.txt", "Daten/Liste.txt"},
        {"empty", "", ""},
        {"escape sequence", "a\x1b[2Jb", "a\\x1b[2Jb"},
        {"nul", std::string("a\0b", 3), "a\\x00b"},
        {"line breaks", "x\r\ny\tz", "x\\x0d\\x0ay\\x09z"},
        {"last control byte and delete", "\x1f\x7f", "\\x1f\\x7f"},
        {"blank and tilde stay", " ~", " ~"},
        {"UTF-8 stays", "Schüler 日本", "Schüler 日本"},
        {"backslash stays", "a\\x1b", "a\\x1b"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(EscapeControl(c.text), c.shown);
    }
}

}  // namespace
}  // namespace vb
