#include "bench/parse_peers.h"

#include <gumbo.h>
#include <libxml/HTMLparser.h>

#include <algorithm>
#include <cstring>

#include "acquire/markup_parser.h"
#include "acquire/standings_extractor.h"
#include "acquire/standings_table.h"
#include "app/latin1.h"
#include "bench/heap_counter.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

std::string Trimmed(const std::string& s) {
    std::size_t a = 0, b = s.size();
    while (a < b && IsBlank(s[a])) ++a;
    while (b > a && IsBlank(s[b - 1])) --b;
    return s.substr(a, b - a);
}

// ------------------------------------------------------------- libxml2 SAX

struct SaxState {
    bool inHead = false;
    bool inBody = false;
    bool inCell = false;
    bool afterMarker = false;  // inside a header cell, from its sort marker on
    std::string cell;
    std::vector<std::string> row;
    TextRows rows;
};

bool Is(const xmlChar* name, const char* tag) {
    return std::strcmp(reinterpret_cast<const char*>(name), tag) == 0;
}

void SaxStart(void* ctx, const xmlChar* name, const xmlChar**) {
    auto& s = *static_cast<SaxState*>(static_cast<htmlParserCtxtPtr>(ctx)->_private);
    if (Is(name, "thead")) {
        s.inHead = true;
    } else if (Is(name, "tbody")) {
        s.inBody = true;
    } else if (Is(name, "tr")) {
        if (s.inHead || s.inBody) s.row.clear();
    } else if ((Is(name, "th") && s.inHead) || (Is(name, "td") && s.inBody)) {
        s.inCell = true;
        s.afterMarker = false;
        s.cell.clear();
    } else if (Is(name, "span") && s.inCell && s.inHead) {
        s.afterMarker = true;
    }
}

void SaxEnd(void* ctx, const xmlChar* name) {
    auto& s = *static_cast<SaxState*>(static_cast<htmlParserCtxtPtr>(ctx)->_private);
    if (Is(name, "thead")) {
        s.inHead = false;
    } else if (Is(name, "tbody")) {
        s.inBody = false;
    } else if (Is(name, "tr")) {
        if ((s.inHead || s.inBody) && !s.row.empty()) s.rows.push_back(std::move(s.row));
        s.row.clear();
    } else if ((Is(name, "th") || Is(name, "td")) && s.inCell) {
        s.inCell = false;
        std::string text = Trimmed(s.cell);
        if (!text.empty()) s.row.push_back(std::move(text));
    }
}

void SaxCharacters(void* ctx, const xmlChar* text, int length) {
    auto& s = *static_cast<SaxState*>(static_cast<htmlParserCtxtPtr>(ctx)->_private);
    if (s.inCell && !s.afterMarker) s.cell.append(reinterpret_cast<const char*>(text), static_cast<std::size_t>(length));
}

// --------------------------------------------------------------------- gumbo

void* GumboAllocate(void*, std::size_t size) { return heap::Malloc(size); }
void GumboDeallocate(void*, void* p) { heap::Free(p); }

void CellText(const GumboNode* node, bool header, std::string& out) {
    if (node->type == GUMBO_NODE_TEXT || node->type == GUMBO_NODE_WHITESPACE || node->type == GUMBO_NODE_CDATA) {
        out += node->v.text.text;
        return;
    }
    if (node->type != GUMBO_NODE_ELEMENT) return;
    const GumboVector& children = node->v.element.children;
    for (unsigned i = 0; i < children.length; ++i) {
        const auto* child = static_cast<const GumboNode*>(children.data[i]);
        // The sort marker ends a header cell's caption.
        if (header && child->type == GUMBO_NODE_ELEMENT && child->v.element.tag == GUMBO_TAG_SPAN) return;
        CellText(child, header, out);
    }
}

// Sections only as written: the tree builder adds a "tbody" to every table
// that has none, and those rows are no part of the job.
void WalkRows(const GumboNode* node, int section, TextRows& rows) {
    if (node->type != GUMBO_NODE_ELEMENT) return;
    const GumboElement& e = node->v.element;
    const bool written = (node->parse_flags & GUMBO_INSERTION_IMPLIED) == 0;
    if (e.tag == GUMBO_TAG_THEAD && written) section = 1;
    if (e.tag == GUMBO_TAG_TBODY && written) section = 2;
    if (e.tag == GUMBO_TAG_TR && section != 0) {
        std::vector<std::string> row;
        for (unsigned i = 0; i < e.children.length; ++i) {
            const auto* cell = static_cast<const GumboNode*>(e.children.data[i]);
            if (cell->type != GUMBO_NODE_ELEMENT) continue;
            const GumboTag tag = cell->v.element.tag;
            if ((section == 1 && tag == GUMBO_TAG_TH) || (section == 2 && tag == GUMBO_TAG_TD)) {
                std::string text;
                CellText(cell, section == 1, text);
                text = Trimmed(text);
                if (!text.empty()) row.push_back(std::move(text));
            }
        }
        if (!row.empty()) rows.push_back(std::move(row));
        return;
    }
    for (unsigned i = 0; i < e.children.length; ++i)
        WalkRows(static_cast<const GumboNode*>(e.children.data[i]), section, rows);
}

// ------------------------------------------------------------------- saver

class AttributeReader : public MarkupHandler {
public:
    std::size_t total = 0;
    void OnStartTag(MarkupTag& tag, void*, bool& stop) override {
        if (const MarkupAttributeList* list = tag.attributes())
            for (const MarkupAttribute& a : *list) total += a.value().size();
        stop = false;
    }
};

class EventCounter : public MarkupHandler {
public:
    std::size_t events = 0;
    void OnStartTag(MarkupTag&, void*, bool& stop) override { Count(stop); }
    void OnEndTag(MarkupTag&, void*, bool& stop) override { Count(stop); }
    void OnText(std::string&, void*, bool& stop) override { Count(stop); }
    void OnComment(std::string&, void*, bool& stop) override { Count(stop); }

private:
    void Count(bool& stop) {
        ++events;
        stop = false;
    }
};

class LongestTextFinder : public MarkupHandler {
public:
    std::size_t longest = 0;
    void OnStartTag(MarkupTag& tag, void*, bool& stop) override { Take(tag.name.size(), stop); }
    void OnEndTag(MarkupTag& tag, void*, bool& stop) override { Take(tag.name.size(), stop); }
    void OnText(std::string& text, void*, bool& stop) override { Take(text.size(), stop); }
    void OnComment(std::string& comment, void*, bool& stop) override { Take(comment.size(), stop); }

private:
    void Take(std::size_t n, bool& stop) {
        if (n > longest) longest = n;
        stop = false;
    }
};

std::string Show(const std::vector<std::string>& row) {
    std::string out = "[";
    for (std::size_t i = 0; i < row.size(); ++i) out += (i ? "|" : "") + row[i];
    return out + "]";
}

}  // namespace

TextRows LibxmlSaxRows(const std::string& page) {
    SaxState state;
    htmlParserCtxtPtr ctxt = htmlCreateMemoryParserCtxt(page.data(), static_cast<int>(page.size()));
    if (ctxt == nullptr) return {};
    htmlCtxtUseOptions(ctxt, HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET | HTML_PARSE_NOIMPLIED);
    // Only the handlers of the job: no tree is built.
    std::memset(ctxt->sax, 0, sizeof(htmlSAXHandler));
    ctxt->sax->startElement = SaxStart;
    ctxt->sax->endElement = SaxEnd;
    ctxt->sax->characters = SaxCharacters;
    ctxt->sax->cdataBlock = SaxCharacters;
    ctxt->_private = &state;
    htmlParseDocument(ctxt);
    if (ctxt->myDoc != nullptr) xmlFreeDoc(ctxt->myDoc);
    htmlFreeParserCtxt(ctxt);
    return std::move(state.rows);
}

TextRows GumboRows(const std::string& page) {
    GumboOptions options = kGumboDefaultOptions;
    options.allocator = GumboAllocate;
    options.deallocator = GumboDeallocate;
    GumboOutput* output = gumbo_parse_with_options(&options, page.data(), page.size());
    TextRows rows;
    WalkRows(output->root, 0, rows);
    gumbo_destroy_output(&options, output);
    return rows;
}

void SaverRows(const std::string& page) {
    theStandings.RemoveAll();
    StandingsExtractor::ResetSharedState();
    StandingsExtractor extractor;
    MarkupParser parser;
    parser.decodeEntities = true;
    parser.notifyMask = MarkupParser::NotifyAll;
    parser.handler = &extractor;
    parser.Parse(page.c_str());
}

std::size_t ReadAttributes(const std::string& page) {
    AttributeReader reader;
    MarkupParser parser;
    parser.handler = &reader;
    parser.Parse(page.c_str());
    return reader.total;
}

std::size_t TokenizeOnly(const std::string& page) {
    EventCounter counter;
    MarkupParser parser;
    parser.handler = &counter;
    parser.Parse(page.c_str());
    return counter.events;
}

std::size_t LongestQuotedValue(const std::string& page) {
    std::size_t longest = 0;
    for (std::size_t at = page.find("=\""); at != std::string::npos; at = page.find("=\"", at + 2)) {
        const std::size_t close = page.find('"', at + 2);
        const std::size_t n = (close == std::string::npos ? page.size() : close) - (at + 2);
        longest = std::max(longest, n);
    }
    return longest;
}

std::size_t CountMarkupStarts(const std::string& page) {
    std::size_t n = 0;
    const char* p = page.data();
    const char* end = p + page.size();
    while ((p = static_cast<const char*>(std::memchr(p, '<', static_cast<std::size_t>(end - p)))) != nullptr) {
        ++n;
        ++p;
    }
    return n;
}

std::size_t LongestText(const std::string& page) {
    LongestTextFinder finder;
    MarkupParser parser;
    parser.handler = &finder;
    parser.Parse(page.c_str());
    return finder.longest;
}

TextRows SaverRowsAsText() {
    TextRows rows;
    for (int i = 0; i < theStandings.GetSize(); ++i) {
        const StandingsRow& r = theStandings.ElementAt(i);
        std::vector<std::string> row;
        // Cell 1 is the trend column: cleared in the header row, never
        // written by a body row.
        for (int c = 0; c < 11; ++c)
            if (c != 1) row.push_back(Latin1ToUtf8(r[c]));
        rows.push_back(std::move(row));
    }
    return rows;
}

std::string CompareRows(const TextRows& saver, const TextRows& peer) {
    if (saver.size() != peer.size())
        return std::to_string(saver.size()) + " rows against " + std::to_string(peer.size());
    for (std::size_t i = 0; i < saver.size(); ++i) {
        std::vector<std::string> p = peer[i];
        // The header's trend caption is a text of its own in the peers' rows.
        if (i == 0 && p.size() == 11) p.erase(p.begin() + 1);
        if (saver[i] != p) return "row " + std::to_string(i) + ": " + Show(saver[i]) + " against " + Show(p);
    }
    return {};
}
