#pragma once
// The index and the full-text search of a compiled help file: the keywords of its
// index (a sitemap, .hhk) with their topics, and the topics whose text holds every
// word of a query.
#include <string>
#include <vector>

namespace vb {

class ChmFile;

struct IndexEntry {
    std::string Keyword;
    std::vector<std::string> Topics;  // object paths ("/html/a.htm"), in the index's order
};

// The entries of a sitemap (index or contents) in their order: one per
// <OBJECT type="text/sitemap">, named by its first "Name" parameter, with each
// "Local" parameter as a topic made absolute ("html/a.htm" becomes "/html/a.htm").
// Entities in the values are decoded. Entries without a name or topic are left out.
std::vector<IndexEntry> ParseSiteMap(const std::string& html);

// The index of `file`; empty when it has none.
std::vector<IndexEntry> ReadIndex(const ChmFile& file);

// The text a reader sees in an HTML page: tags, scripts and style sheets removed,
// entities decoded, runs of white space made one blank.
std::string VisibleText(const std::string& html);

// The page's title: its <title>, else its first <h1>, else "".
std::string PageTitle(const std::string& html);

struct SearchHit {
    std::string Topic;  // object path
    std::string Title;
    int Count = 0;      // how often the query's words occur in the topic
};

// The HTML topics of `file` whose visible text holds every word of `query` (words
// separated by blanks; letters compared without regard to case, umlauts included),
// most occurrences first, then by title. An empty query finds nothing.
std::vector<SearchHit> SearchTopics(const ChmFile& file, const std::string& query);

}  // namespace vb
