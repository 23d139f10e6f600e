#include "help/HelpIndex.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <sstream>

#include "help/ChmFile.h"
#include "util/Utf8.h"

namespace vb {
namespace {

std::string AsciiLower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return text;
}

// Letters folded for comparison: ASCII and the German capitals with umlauts (UTF-8).
std::string Fold(const std::string& text) {
    std::string out = AsciiLower(text);
    const std::pair<const char*, const char*> umlauts[] = {
        {"\xC3\x84", "\xC3\xA4"}, {"\xC3\x96", "\xC3\xB6"}, {"\xC3\x9C", "\xC3\xBC"}};
    for (const auto& [upper, lower] : umlauts) {
        for (std::size_t at = out.find(upper); at != std::string::npos; at = out.find(upper, at + 2))
            out.replace(at, 2, lower);
    }
    return out;
}

std::string DecodeEntities(const std::string& text) {
    static const std::pair<const char*, unsigned long> kNamed[] = {
        {"amp", '&'},      {"lt", '<'},       {"gt", '>'},       {"quot", '"'},     {"apos", '\''},
        {"nbsp", 0xA0},    {"auml", 0xE4},    {"ouml", 0xF6},    {"uuml", 0xFC},    {"Auml", 0xC4},
        {"Ouml", 0xD6},    {"Uuml", 0xDC},    {"szlig", 0xDF},   {"ndash", 0x2013}, {"mdash", 0x2014},
        {"bdquo", 0x201E}, {"ldquo", 0x201C}, {"rdquo", 0x201D}, {"hellip", 0x2026}};
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::size_t semicolon = text[i] == '&' ? text.find(';', i) : std::string::npos;
        if (semicolon == std::string::npos || semicolon - i > 10) {
            out += text[i];
            continue;
        }
        const std::string name = text.substr(i + 1, semicolon - i - 1);
        unsigned long code = 0;
        bool known = false;
        if (name.size() > 1 && name[0] == '#') {
            const bool hex = name[1] == 'x' || name[1] == 'X';
            const std::string digits = name.substr(hex ? 2 : 1);
            known = !digits.empty() &&
                    std::all_of(digits.begin(), digits.end(), [hex](unsigned char c) { return hex ? std::isxdigit(c) : std::isdigit(c); });
            if (known) code = std::stoul(digits, nullptr, hex ? 16 : 10);
        } else {
            for (const auto& [entity, value] : kNamed) {
                if (name == entity) code = value, known = true;
            }
        }
        if (!known) {
            out += text[i];
            continue;
        }
        if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) code = 0xFFFD;
        utf8::append(out, code == 0xA0 ? U' ' : static_cast<char32_t>(code));
        i = semicolon;
    }
    return out;
}

// The value of attribute `name` in the tag text `tag` (letters of the name compared
// without regard to case), or "".
std::string Attribute(const std::string& tag, const std::string& name) {
    const std::string lower = AsciiLower(tag);
    for (std::size_t at = lower.find(name + "="); at != std::string::npos; at = lower.find(name + "=", at + 1)) {
        if (at > 0 && !std::isspace(static_cast<unsigned char>(lower[at - 1]))) continue;
        std::size_t start = at + name.size() + 1;
        if (start >= tag.size()) return {};
        const char quote = tag[start];
        if (quote == '"' || quote == '\'') {
            const std::size_t end = tag.find(quote, start + 1);
            return tag.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
        }
        std::size_t end = start;
        while (end < tag.size() && !std::isspace(static_cast<unsigned char>(tag[end])) && tag[end] != '>') ++end;
        return tag.substr(start, end - start);
    }
    return {};
}

std::string Collapse(const std::string& text) {
    std::string out;
    for (char c : text) {
        const bool blank = std::isspace(static_cast<unsigned char>(c));
        if (blank && (out.empty() || out.back() == ' ')) continue;
        out += blank ? ' ' : c;
    }
    if (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

// The visible text between the first <tag ...> and its </tag>, or "".
std::string ElementText(const std::string& html, const std::string& tag) {
    const std::string lower = AsciiLower(html);
    const std::size_t open = lower.find("<" + tag);
    if (open == std::string::npos) return {};
    const std::size_t start = lower.find('>', open);
    const std::size_t end = lower.find("</" + tag, start);
    if (start == std::string::npos || end == std::string::npos) return {};
    return VisibleText(html.substr(start + 1, end - start - 1));
}

int Occurrences(const std::string& text, const std::string& word) {
    int count = 0;
    for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + word.size())) ++count;
    return count;
}

}  // namespace

std::vector<IndexEntry> ParseSiteMap(const std::string& html) {
    std::vector<IndexEntry> entries;
    const std::string lower = AsciiLower(html);
    for (std::size_t at = lower.find("<object"); at != std::string::npos; at = lower.find("<object", at + 1)) {
        const std::size_t tagEnd = lower.find('>', at);
        if (tagEnd == std::string::npos) break;
        if (AsciiLower(Attribute(html.substr(at, tagEnd - at), "type")) != "text/sitemap") continue;
        const std::size_t end = std::min(lower.find("</object", tagEnd), lower.size());
        IndexEntry entry;
        for (std::size_t p = lower.find("<param", tagEnd); p < end; p = lower.find("<param", p + 1)) {
            const std::size_t pEnd = std::min(lower.find('>', p), end);
            const std::string tag = html.substr(p, pEnd - p);
            const std::string name = AsciiLower(Attribute(tag, "name"));
            const std::string value = DecodeEntities(Attribute(tag, "value"));
            if (name == "name" && entry.Keyword.empty()) entry.Keyword = value;
            if (name == "local" && !value.empty()) entry.Topics.push_back(value.front() == '/' ? value : "/" + value);
        }
        if (!entry.Keyword.empty() && !entry.Topics.empty()) entries.push_back(std::move(entry));
    }
    return entries;
}

std::vector<IndexEntry> ReadIndex(const ChmFile& file) {
    if (file.IndexFile().empty()) return {};
    const auto html = file.Read(file.IndexFile());
    return html ? ParseSiteMap(*html) : std::vector<IndexEntry>{};
}

std::string VisibleText(const std::string& html) {
    const std::string lower = AsciiLower(html);
    std::string text;
    for (std::size_t i = 0; i < html.size();) {
        if (html[i] != '<') {
            const std::size_t next = std::min(html.find('<', i), html.size());
            text += html.substr(i, next - i);
            i = next;
            continue;
        }
        // Scripts and style sheets are no text; every other tag separates words.
        for (const char* hidden : {"script", "style"}) {
            if (lower.compare(i + 1, std::strlen(hidden), hidden) == 0) {
                const std::size_t close = lower.find(std::string("</") + hidden, i);
                i = close == std::string::npos ? html.size() : close;
                break;
            }
        }
        const std::size_t end = html.find('>', i);
        i = end == std::string::npos ? html.size() : end + 1;
        text += ' ';
    }
    return Collapse(DecodeEntities(text));
}

std::string PageTitle(const std::string& html) {
    std::string title = ElementText(html, "title");
    return title.empty() ? ElementText(html, "h1") : title;
}

std::vector<SearchHit> SearchTopics(const ChmFile& file, const std::string& query) {
    std::vector<std::string> words;
    std::istringstream split(Fold(query));
    for (std::string word; split >> word;) words.push_back(word);
    std::vector<SearchHit> hits;
    if (words.empty()) return hits;
    for (const std::string& topic : file.Topics()) {
        const std::string lowerPath = AsciiLower(topic);
        if (!lowerPath.ends_with(".htm") && !lowerPath.ends_with(".html")) continue;
        const auto html = file.Read(topic);
        if (!html) continue;
        const std::string text = Fold(VisibleText(*html));
        SearchHit hit{topic, PageTitle(*html), 0};
        bool all = true;
        for (const std::string& word : words) {
            const int count = Occurrences(text, word);
            all = all && count > 0;
            hit.Count += count;
        }
        if (all) hits.push_back(std::move(hit));
    }
    std::stable_sort(hits.begin(), hits.end(), [](const SearchHit& a, const SearchHit& b) {
        return a.Count != b.Count ? a.Count > b.Count : a.Title < b.Title;
    });
    return hits;
}

}  // namespace vb
