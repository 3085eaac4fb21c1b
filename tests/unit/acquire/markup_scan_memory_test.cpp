// The tokenizer remembers what its far-reaching searches found (quotes, "/>",
// ">", "--", ";") and which attribute chains left their tag unreadable. These
// tests hold it against a reading that remembers nothing: every tag and
// comment parsed afresh from its own position.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "acquire/markup_parser.h"
#include "event_recorder.h"

namespace {

class ForgetfulParser : public MarkupParser {
public:
    bool ParseTag(MarkupTag& tag, bool& isStart, bool& isEnd) override {
        const std::size_t n = tag.Parse(input + position, isStart, isEnd, true);
        if (n == 0) return false;
        position += n;
        return true;
    }
    bool ParseComment(std::string& comment) override {
        const char* p = input + position;
        if (std::strncmp(p, "<!--", 4) != 0) return false;
        const char* body = p + 4;
        const char* dashes = std::strstr(body, "--");
        if (dashes == nullptr) {
            comment.assign(body);
            position = length;
            return true;
        }
        const char* k = dashes + 2;
        if (*k == '\0') return false;
        while (*k == ' ' || (*k >= '\t' && *k <= '\r')) ++k;
        if (*k != '>') return false;
        comment.assign(body, dashes);
        position = static_cast<std::size_t>(k + 1 - input);
        return true;
    }
};

Events Remembering(const std::string& page) {
    EventRecorder recorder;
    MarkupParser parser;
    parser.handler = &recorder;
    parser.Parse(page.c_str());
    return recorder.events;
}

Events Forgetful(const std::string& page) {
    EventRecorder recorder;
    ForgetfulParser parser;
    parser.handler = &recorder;
    parser.Parse(page.c_str());
    return recorder.events;
}

std::string Repeat(const std::string& unit, int n, const std::string& tail = "") {
    std::string s;
    for (int i = 0; i < n; ++i) s += unit;
    return s + tail;
}

TEST(AcquireTokenizerMemory, RepeatedOpenQuotesAreOneText) {
    const std::string page = Repeat("<a b=\"", 200);
    EXPECT_EQ(Remembering(page), (Events{"document-start", "text " + Quoted(page), "document-end"}));
}

TEST(AcquireTokenizerMemory, RepeatedUnreadableAttributesAreOneText) {
    const std::string page = Repeat("<a =", 200);
    EXPECT_EQ(Remembering(page), (Events{"document-start", "text " + Quoted(page), "document-end"}));
    // One "/>" at the very end makes the first of them a tag reaching it.
    EXPECT_EQ(Remembering(page + "/>t"), (Events{"document-start", "start a", "end a", "text \"t\"", "document-end"}));
}

TEST(AcquireTokenizerMemory, ChainsThatShareTheirTailFailAlike) {
    // Every "<a" starts a tag whose attributes run through all later ones to
    // the unclosed quote at the end.
    const std::string page = Repeat("<a b=", 100, "\"");
    EXPECT_EQ(Remembering(page), (Events{"document-start", "text " + Quoted(page), "document-end"}));
    // Closed instead, the first tag takes everything.
    const Events closed = Remembering(Repeat("<a b=", 3, "x>"));
    EXPECT_EQ(closed, (Events{"document-start", "start a b=\"<a\" b=\"<a\" b=\"x\"", "document-end"}));
}

TEST(AcquireTokenizerMemory, AgreesWithAForgetfulReadingOnHandPickedPages) {
    const char* const pages[] = {
        "<a b=<a b=<a b=\"",
        "<a b=' <a c=\" <a d=' <a e=\" x",
        "<x y=\"<z w='1'>\" v=<q r=2>>",
        "<a =<b =<c =/>d>",
        "<!-- a <!-- b -- c --> d",
        "<a b=\"1\" c='<d e=\"2\" f=3 /> g' h>",
        "&amp;&amp;&&&;&lt;x;&#x41;&#65",
        "<a b=x/y><c d=e/>",
    };
    for (const char* page : pages) EXPECT_EQ(Remembering(page), Forgetful(page)) << page;
}

// Pages made of random pieces, with a fixed seed: one set of pieces for
// markup of every kind, one for long attribute chains that share their tails.
void ExpectAgreementOnGeneratedPages(const std::vector<std::string>& pieces, int rounds, int maxPieces) {
    std::uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7FFFu;
    };
    for (int round = 0; round < rounds; ++round) {
        std::string page;
        const int length = 1 + static_cast<int>(next() % static_cast<unsigned>(maxPieces));
        for (int i = 0; i < length; ++i) page += pieces[next() % pieces.size()];
        const Events expected = Forgetful(page);
        ASSERT_EQ(Remembering(page), expected) << "page: " << Quoted(page);
    }
}

TEST(AcquireTokenizerMemory, AgreesWithAForgetfulReadingOnGeneratedMarkup) {
    ExpectAgreementOnGeneratedPages({"<a", "<b", " c=", "d=", "=", "\"", "'", "/>", ">", "/", "<!--", "--", " ",
                                     "&amp;", "&", ";", "</a>", "x", "<", "\t", "e", "</b"},
                                    3000, 40);
}

TEST(AcquireTokenizerMemory, AgreesWithAForgetfulReadingOnGeneratedAttributeChains) {
    ExpectAgreementOnGeneratedPages({"<a b=", "<a ", "c", "=", "\"", "'", " ", " d", "=<a", "/", ">", "x", "e=x"},
                                    3000, 60);
}

}  // namespace
