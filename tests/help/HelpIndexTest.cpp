// The help's keyword index and full-text search: sitemap and page text parsing, and
// both over the compiled help file.
#include "help/HelpIndex.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "help/ChmFile.h"

namespace vb {
namespace {

const std::string kHelpFile = VB_BINARY_DIR "/vorlixbackup.chm";

TEST(HelpIndex, SiteMapEntriesWithTheirTopics) {
    const std::string html =
        "<HTML><BODY><OBJECT type=\"text/site properties\"><param name=\"Name\" value=\"kein Eintrag\"></OBJECT>\n"
        "<UL><LI> <OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"Archiv\">"
        "<param name=\"Local\" value=\"html/a.htm\"><param name=\"Name\" value=\"Archiv\">"
        "<param name=\"Local\" value=\"html/b.htm#x\"></OBJECT>\n"
        "<li><object TYPE='text/sitemap'><PARAM NAME=name VALUE=\"Gr&ouml;&szlig;e &amp; Datum\">"
        "<param name=local value=\"/html/c.htm\"></object>\n"
        "<LI> <OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"ohne Ziel\"></OBJECT>\n"
        "<LI> <OBJECT type=\"text/sitemap\"><param name=\"Local\" value=\"html/d.htm\"></OBJECT></UL>";
    const std::vector<IndexEntry> entries = ParseSiteMap(html);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].Keyword, "Archiv");
    EXPECT_EQ(entries[0].Topics, (std::vector<std::string>{"/html/a.htm", "/html/b.htm#x"}));
    EXPECT_EQ(entries[1].Keyword, "Gr\xC3\xB6\xC3\x9F" "e & Datum");
    EXPECT_EQ(entries[1].Topics, (std::vector<std::string>{"/html/c.htm"}));
}

TEST(HelpIndex, VisibleTextAndTitle) {
    const std::string html =
        "<html><head><title>Sichern &ndash; Hilfe</title><style>p { color: red }</style>"
        "<script>var x = \"<b>\";</script></head>\n<body><h1>Sichern</h1><p>Die&nbsp;Spalten <b>S</b>"
        "und<br>R &#252;ber&#x20;alles</p></body></html>";
    EXPECT_EQ(VisibleText(html), "Sichern \xE2\x80\x93 Hilfe Sichern Die Spalten S und R \xC3\xBC" "ber alles");
    EXPECT_EQ(PageTitle(html), "Sichern \xE2\x80\x93 Hilfe");
    EXPECT_EQ(PageTitle("<h1>Nur <i>eine</i> \xC3\x9C" "berschrift</h1>"), "Nur eine \xC3\x9C" "berschrift");
    EXPECT_EQ(PageTitle("<p>nichts</p>"), "");
}

TEST(HelpIndex, TheCompiledHelpHasAnIndexOfExistingTopics) {
    const ChmFile help(kHelpFile);
    const std::vector<IndexEntry> index = ReadIndex(help);
    ASSERT_GE(index.size(), 20u);
    const auto entry = std::find_if(index.begin(), index.end(), [](const IndexEntry& e) { return e.Keyword == "Ziellaufwerk"; });
    ASSERT_NE(entry, index.end());
    EXPECT_EQ(entry->Topics, (std::vector<std::string>{"/html/wiederherstellen.htm"}));
    for (const IndexEntry& e : index) {
        for (const std::string& topic : e.Topics) EXPECT_TRUE(help.Read(topic)) << e.Keyword << " " << topic;
    }
}

TEST(HelpIndex, SearchFindsTopicsWithEveryWordWhateverTheCase) {
    const ChmFile help(kHelpFile);
    const auto topics = [&](const std::string& query) {
        std::vector<std::string> found;
        for (const SearchHit& hit : SearchTopics(help, query)) found.push_back(hit.Topic);
        return found;
    };
    // Only the scheduling topic explains crontab and linger together.
    EXPECT_EQ(topics("CRONTAB enable-linger"), std::vector<std::string>{"/html/zeitgesteuert.htm"});
    // Umlauts match in either case; the words of the markup are no text.
    const std::vector<std::string> umlaut = topics("R\xC3\x9C" "CKGABEWERT");
    EXPECT_NE(std::find(umlaut.begin(), umlaut.end(), "/html/zeitgesteuert.htm"), umlaut.end());
    EXPECT_TRUE(topics("href").empty());
    EXPECT_TRUE(topics("   ").empty());
    EXPECT_TRUE(topics("Ziellaufwerk Quantenverschr\xC3\xA4nkung").empty());
    // The topic that names the word most comes first, with its title.
    const std::vector<SearchHit> restore = SearchTopics(help, "ziellaufwerk");
    ASSERT_FALSE(restore.empty());
    EXPECT_EQ(restore.front().Topic, "/html/wiederherstellen.htm");
    EXPECT_EQ(restore.front().Title, "Wiederherstellen (Restore)");
}

}  // namespace
}  // namespace vb
