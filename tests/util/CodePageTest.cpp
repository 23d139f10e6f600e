#include "util/CodePage.h"

#include <gtest/gtest.h>

namespace vb {
namespace {

TEST(CodePage, EveryByteRoundTripsThroughUtf8) {
    for (CodePage page : {CodePage::Windows1252, CodePage::Cp850}) {
        for (int b = 0; b < 256; ++b) {
            const std::string byte(1, static_cast<char>(b));
            const auto back = encodeExact(page, decode(page, byte));
            ASSERT_TRUE(back.has_value()) << "byte " << b;
            EXPECT_EQ(*back, byte) << "byte " << b;
        }
    }
}

struct Case {
    const char* name;
    CodePage page;
    const char* utf8;
    std::optional<std::string> exact;
    std::optional<std::string> bestFit;
};

TEST(CodePage, ExactAndBestFitConversions) {
    const Case cases[] = {
        {"ascii", CodePage::Cp850, "Liste.txt", "Liste.txt", "Liste.txt"},
        {"umlaut in cp850", CodePage::Cp850, "Schüler", "Sch\x81ler", "Sch\x81ler"},
        {"umlaut in 1252", CodePage::Windows1252, "Schüler", "Sch\xFCler", "Sch\xFCler"},
        {"euro only in 1252", CodePage::Windows1252, "€", "\x80", "\x80"},
        {"euro lacks in cp850", CodePage::Cp850, "€", std::nullopt, std::nullopt},
        {"undefined 1252 byte as C1 control", CodePage::Windows1252, "\xC2\x81", "\x81", "\x81"},
        {"L with stroke has no decomposition", CodePage::Windows1252, "Łódź",
         std::nullopt, std::nullopt},
        {"accents dropped where the page lacks the letter", CodePage::Windows1252, "Čeština", std::nullopt, "Ce\x9Atina"},
        {"accent kept where the page has it", CodePage::Cp850, "ńaé", std::nullopt, "na\x82"},
        {"typographic quote and dash", CodePage::Cp850, "„a“ – b",
         std::nullopt, "\"a\" - b"},
        {"cjk has no fit", CodePage::Windows1252, "日", std::nullopt, std::nullopt},
        {"invalid utf-8", CodePage::Windows1252, "a\xFF", std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(encodeExact(c.page, c.utf8), c.exact);
        EXPECT_EQ(encodeBestFit(c.page, c.utf8), c.bestFit);
    }
}

TEST(CodePage, LossyUsesTheDefaultCharacter) {
    EXPECT_EQ(encodeLossy(CodePage::Windows1252, "Łódź"), "?\xF3" "d?");
    EXPECT_EQ(encodeLossy(CodePage::Windows1252, "a\xFF" "b"), "a?b");
}

}  // namespace
}  // namespace vb
