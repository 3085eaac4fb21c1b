#include "acquire/markup_parser.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "event_recorder.h"

namespace {

using namespace std::string_literals;

// ------------------------------------------------------------ document and text

TEST(AcquireTokenizerDocument, EmptyInputGivesNoCallbackAtAll) {
    EventRecorder recorder;
    MarkupParser parser;
    parser.handler = &recorder;
    EXPECT_EQ(parser.Parse(""), 0u);
    EXPECT_EQ(parser.Parse(nullptr), 0u);
    EXPECT_TRUE(recorder.events.empty());
}

TEST(AcquireTokenizerDocument, WhiteSpaceOnlyGivesTheDocumentEventsOnly) {
    EventRecorder recorder;
    MarkupParser parser;
    parser.handler = &recorder;
    EXPECT_EQ(parser.Parse(" \t\r\n\v\f "), 7u);
    EXPECT_EQ(recorder.events, (Events{"document-start", "document-end"}));
}

TEST(AcquireTokenizerDocument, ParseReturnsLengthAndClearsTheInput) {
    EventRecorder recorder;
    MarkupParser parser;
    parser.handler = &recorder;
    const char* page = "<p>x</p>";
    EXPECT_EQ(parser.Parse(page), 8u);
    EXPECT_EQ(parser.position, 8u);
    EXPECT_EQ(parser.input, nullptr);
    EXPECT_EQ(parser.length, 0u);
}

TEST(AcquireTokenizerDocument, WithoutHandlerNothingIsCalledAndTheWholeTextIsRead) {
    MarkupParser parser;
    EXPECT_EQ(parser.Parse("<a href='x'>t</a><!--c-->"), 25u);
}

TEST(AcquireTokenizerDocument, UserDataReachesEveryCallbackUnchanged) {
    int marker = 0;
    EventRecorder recorder;
    recorder.expectedUserData = &marker;
    MarkupParser parser;
    parser.handler = &recorder;
    parser.userData = &marker;
    parser.Parse("x<a>y<!--z--></a>");
    EXPECT_EQ(recorder.events.size(), 7u);
    EXPECT_FALSE(recorder.userDataMismatch);
}

TEST(AcquireTokenizerText, LeadingWhiteSpaceOfTheDocumentIsSkipped) {
    EXPECT_EQ(Inner("  ab<p>"), (Events{"text \"ab\"", "start p"}));
    EXPECT_EQ(Inner("<p>  x"), (Events{"start p", "text \"  x\""}));
}

TEST(AcquireTokenizerText, TextBeforeMarkupIsNotTrimmedOnlyTheLastPieceIs) {
    EXPECT_EQ(Inner("<td> x </td>"), (Events{"start td", "text \" x \"", "end td"}));
    EXPECT_EQ(Inner("x  "), (Events{"text \"x\""}));
    EXPECT_EQ(Inner("<b>\t y \r\n"), (Events{"start b", "text \"\\t y\""}));
    EXPECT_EQ(Inner("<a> </a>"), (Events{"start a", "text \" \"", "end a"}));
    EXPECT_EQ(Inner("<a>   "), (Events{"start a"}));
}

TEST(AcquireTokenizerText, ReferencesAreDecodedInText) {
    EXPECT_EQ(Inner("a &amp; b"), (Events{"text \"a & b\""}));
    EXPECT_EQ(Inner("a &amp; b", false), (Events{"text \"a &amp; b\""}));
    EXPECT_EQ(Inner("&lt;p&gt;"), (Events{"text \"<p>\""}));
    EXPECT_EQ(Inner("Bergl&ouml;wen &#220;ber"), (Events{"text \"Bergl\\xF6wen \\xDCber\""}));
    EXPECT_EQ(Inner("x&amp;  "), (Events{"text \"x&\""}));
    EXPECT_EQ(Inner("&amp;<a>"), (Events{"text \"&\"", "start a"}));
    EXPECT_EQ(Inner("a&#0;b"), (Events{"text \"a\\x00b\""}));
}

TEST(AcquireTokenizerText, UnknownReferencesStayAsWritten) {
    EXPECT_EQ(Inner("&foo; &amp &lt more; &"), (Events{"text \"&foo; &amp &lt more; &\""}));
    EXPECT_EQ(Inner("&&amp;&"), (Events{"text \"&&&\""}));
    // A decoded "&" is not decoded again.
    EXPECT_EQ(Inner("&amp;lt;"), (Events{"text \"&lt;\""}));
}

TEST(AcquireTokenizerText, WhatIsNotMarkupIsText) {
    EXPECT_EQ(Inner("</a >"), (Events{"text \"</a >\""}));
    EXPECT_EQ(Inner("<!DOCTYPE html><p>"), (Events{"text \"<!DOCTYPE html>\"", "start p"}));
    EXPECT_EQ(Inner("<?xml version=\"1.0\"?>"), (Events{"text \"<?xml version=\\\"1.0\\\"?>\""}));
    EXPECT_EQ(Inner("if a < b"), (Events{"text \"if a < b\""}));
    EXPECT_EQ(Inner("<1>"), (Events{"text \"<1>\""}));
    EXPECT_EQ(Inner("x <"), (Events{"text \"x <\""}));
}

TEST(AcquireTokenizerText, EmptyTagSplitsTextWithoutAnEvent) {
    EXPECT_EQ(Inner("a<>b"), (Events{"text \"a\"", "text \"b\""}));
    EXPECT_EQ(Inner("<>"), (Events{}));
}

// -------------------------------------------------------------------- comments

TEST(AcquireTokenizerComment, BodiesAreDeliveredUntrimmedEmptyOnesNot) {
    EXPECT_EQ(Inner("<!---->"), (Events{}));
    EXPECT_EQ(Inner("<!-- x -->"), (Events{"comment \" x \""}));
    EXPECT_EQ(Inner("a<!--b-->c"), (Events{"text \"a\"", "comment \"b\"", "text \"c\""}));
    EXPECT_EQ(Inner("<!-- a --><!-- b -->"), (Events{"comment \" a \"", "comment \" b \""}));
    EXPECT_EQ(Inner("<!--<p>&amp;-->"), (Events{"comment \"<p>&amp;\""}));
}

TEST(AcquireTokenizerComment, WhiteSpaceMayStandBetweenDashesAndBracket) {
    EXPECT_EQ(Inner("<!-- x --  \t>y"), (Events{"comment \" x \"", "text \"y\""}));
}

TEST(AcquireTokenizerComment, UnclosedCommentRunsToTheEnd) {
    EXPECT_EQ(Inner("t<!-- open <p> "), (Events{"text \"t\"", "comment \" open <p> \""}));
    // The first "--" is searched from the byte after "<!--".
    EXPECT_EQ(Inner("<!--->"), (Events{"comment \"->\""}));
}

TEST(AcquireTokenizerComment, DashesNotClosingTheCommentMakeItText) {
    EXPECT_EQ(Inner("<!-- a -- b -->"), (Events{"text \"<!-- a -- b -->\""}));
    EXPECT_EQ(Inner("<!-- x --"), (Events{"text \"<!-- x --\""}));
    EXPECT_EQ(Inner("<!-- x --  "), (Events{"text \"<!-- x --\""}));
    // The "<" stays text, and what follows it is read again as usual.
    EXPECT_EQ(Inner("<!-- a --x<b>"), (Events{"text \"<!-- a --x\"", "start b"}));
}

// ------------------------------------------------------------------------ tags

TEST(AcquireTokenizerTag, StartAndEndTagsKeepTheirCase) {
    EXPECT_EQ(Inner("<TD>x</Td>"), (Events{"start TD", "text \"x\"", "end Td"}));
    EXPECT_EQ(Inner("<my-tag:x_y.z9></my-tag:x_y.z9>"), (Events{"start my-tag:x_y.z9", "end my-tag:x_y.z9"}));
}

TEST(AcquireTokenizerTag, SelfClosingGivesStartThenEnd) {
    EXPECT_EQ(Inner("<br/>"), (Events{"start br", "end br"}));
    EXPECT_EQ(Inner("<br />"), (Events{"start br", "end br"}));
    EXPECT_EQ(Inner("<img src=x />"), (Events{"start img src=\"x\"", "end img"}));
}

TEST(AcquireTokenizerTag, EndTagTakesNoBlankNoSlashAndMayBeNameless) {
    EXPECT_EQ(Inner("</>"), (Events{"end "}));
    EXPECT_EQ(Inner("</a/>"), (Events{"text \"</a/>\""}));
    EXPECT_EQ(Inner("</a b>"), (Events{"text \"</a b>\""}));
    EXPECT_EQ(Inner("</a"), (Events{"text \"</a\""}));
}

TEST(AcquireTokenizerTag, NameMustEndAtBlankBracketOrSlash) {
    EXPECT_EQ(Inner("<a\"b>"), (Events{"text \"<a\\\"b>\""}));
    EXPECT_EQ(Inner("<a=b>"), (Events{"text \"<a=b>\""}));
    EXPECT_EQ(Inner("<a"), (Events{"text \"<a\""}));
    EXPECT_EQ(Inner("<a "), (Events{"text \"<a\""}));
    EXPECT_EQ(Inner("< a>"), (Events{"text \"< a>\""}));
}

TEST(AcquireTokenizerTag, AttributesInSourceOrderWithDuplicates) {
    EXPECT_EQ(Inner("<a b='c' d e='f'>"), (Events{"start a b=\"c\" d=\"\" e=\"f\""}));
    EXPECT_EQ(Inner("<a b=1 b=2>"), (Events{"start a b=\"1\" b=\"2\""}));
    EXPECT_EQ(Inner("<a data-x:y_z.w=\"v\" B=C>"), (Events{"start a data-x:y_z.w=\"v\" B=\"C\""}));
    EXPECT_EQ(Inner("<a\r\nb=\"1\"\tc='2'\n>"), (Events{"start a b=\"1\" c=\"2\""}));
}

TEST(AcquireTokenizerTag, QuotedValues) {
    EXPECT_EQ(Inner("<a b= \"x y\">"), (Events{"start a b=\"x y\""}));
    EXPECT_EQ(Inner("<a b='x\"y'>"), (Events{"start a b=\"x\\\"y\""}));
    EXPECT_EQ(Inner("<a b=\"x>y\">z"), (Events{"start a b=\"x>y\"", "text \"z\""}));
    EXPECT_EQ(Inner("<a b=\"\">"), (Events{"start a b=\"\""}));
    EXPECT_EQ(Inner("<a b=\"\"c>"), (Events{"start a b=\"\" c=\"\""}));
}

TEST(AcquireTokenizerTag, UnquotedValues) {
    EXPECT_EQ(Inner("<a b=x/>"), (Events{"start a b=\"x\"", "end a"}));
    EXPECT_EQ(Inner("<a b=/x>"), (Events{"start a b=\"/x\""}));
    EXPECT_EQ(Inner("<a b=>>"), (Events{"start a b=\">\""}));
    EXPECT_EQ(Inner("<a b=x'y>"), (Events{"start a b=\"x'y\""}));
    // A "/" inside ends the value, and the tag fails at the byte after it.
    EXPECT_EQ(Inner("<a b=x/y>"), (Events{"text \"<a b=x/y>\""}));
    EXPECT_EQ(Inner("<a b=>"), (Events{"text \"<a b=>\""}));
}

TEST(AcquireTokenizerTag, NoBlankBetweenAttributeNameAndEquals) {
    EXPECT_EQ(Inner("<a b =\"x\">t"), (Events{"text \"<a b =\\\"x\\\">t\""}));
}

TEST(AcquireTokenizerTag, ValuesOpenAtTheEndMakeTheTagText) {
    EXPECT_EQ(Inner("<a b=\"x>y"), (Events{"text \"<a b=\\\"x>y\""}));
    EXPECT_EQ(Inner("<a b='x>"), (Events{"text \"<a b='x>\""}));
    EXPECT_EQ(Inner("<a b=  "), (Events{"text \"<a b=\""}));
    EXPECT_EQ(Inner("<a b"), (Events{"text \"<a b\""}));
    // The text goes on, and later markup is found: the "<" of a failed tag is
    // an ordinary byte.
    EXPECT_EQ(Inner("<a b=\"<i>"), (Events{"text \"<a b=\\\"\"", "start i"}));
}

TEST(AcquireTokenizerTag, UnreadableAttributesReachTheNextSlashBracket) {
    EXPECT_EQ(Inner("<a =>x</a>"), (Events{"start a", "text \"x\"", "end a"}));
    // "/>" anywhere later wins over the nearer ">".
    EXPECT_EQ(Inner("<a =>x<br/>y"), (Events{"start a", "end a", "text \"y\""}));
    EXPECT_EQ(Inner("<a 1=2>"), (Events{"start a"}));
    EXPECT_EQ(Inner("<a/x>"), (Events{"start a"}));
    EXPECT_EQ(Inner("<a/ >"), (Events{"start a"}));
    EXPECT_EQ(Inner("<a =x"), (Events{"text \"<a =x\""}));
}

TEST(AcquireTokenizerTag, AttributeValuesAreDecodedWhateverDecodeEntitiesSays) {
    EXPECT_EQ(Inner("<a href=\"x&amp;y\">&amp;", false), (Events{"start a href=\"x&y\"", "text \"&amp;\""}));
    EXPECT_EQ(Inner("<a b=' x\ny\r\tz '>"), (Events{"start a b=\"xy  z\""}));
    EXPECT_EQ(Inner("<a &amp;=1 b=1>"), (Events{"start a"}));
}

// ------------------------------------------------------------ mask, stop, filter

Events Masked(const char* input, unsigned mask) {
    EventRecorder recorder;
    MarkupParser parser;
    parser.handler = &recorder;
    parser.notifyMask = mask;
    parser.Parse(input);
    return recorder.events;
}

TEST(AcquireTokenizerNotify, MaskSelectsTheCallbacks) {
    const char* page = "x<a><!--c--><b/>";
    EXPECT_EQ(Masked(page, 0), (Events{}));
    EXPECT_EQ(Masked(page, MarkupParser::NotifyDocument), (Events{"document-start", "document-end"}));
    EXPECT_EQ(Masked(page, MarkupParser::NotifyStartTag), (Events{"start a", "start b"}));
    EXPECT_EQ(Masked(page, MarkupParser::NotifyEndTag), (Events{"end b"}));
    EXPECT_EQ(Masked(page, MarkupParser::NotifyText), (Events{"text \"x\""}));
    EXPECT_EQ(Masked(page, MarkupParser::NotifyComment), (Events{"comment \"c\""}));
    EXPECT_EQ(Masked(page, 0x1f), (Events{"document-start", "text \"x\"", "start a", "comment \"c\"", "start b",
                                          "end b", "document-end"}));
}

struct StopResult {
    Events events;
    std::size_t returned;
};

StopResult StopAt(const char* input, const std::string& line) {
    EventRecorder recorder;
    recorder.stopAt = line;
    MarkupParser parser;
    parser.handler = &recorder;
    const std::size_t n = parser.Parse(input);
    EXPECT_FALSE(recorder.stopWasSetOnEntry);
    return {recorder.events, n};
}

TEST(AcquireTokenizerNotify, StopEndsTheParseWithDocumentEnd) {
    const char* page = "x<a><b>text</b><!--c-->";
    StopResult r = StopAt(page, "start a");
    EXPECT_EQ(r.events, (Events{"document-start", "text \"x\"", "start a", "document-end stopped"}));
    EXPECT_EQ(r.returned, 4u);

    r = StopAt(page, "document-start");
    EXPECT_EQ(r.events, (Events{"document-start", "document-end stopped"}));
    EXPECT_EQ(r.returned, 0u);

    r = StopAt(page, "comment \"c\"");
    EXPECT_EQ(r.events.back(), "document-end stopped");
    EXPECT_EQ(r.returned, std::strlen(page));

    r = StopAt("<br/><i>", "start br");
    EXPECT_EQ(r.events, (Events{"document-start", "start br", "document-end stopped"}));
}

TEST(AcquireTokenizerNotify, StopInTextSuppressesTheMarkupThatFollowed) {
    StopResult r = StopAt("x<a>y", "text \"x\"");
    EXPECT_EQ(r.events, (Events{"document-start", "text \"x\"", "document-end stopped"}));
    EXPECT_EQ(r.returned, 4u);
    // The last text: the parse was over anyway.
    r = StopAt("<a>y", "text \"y\"");
    EXPECT_EQ(r.events, (Events{"document-start", "start a", "text \"y\"", "document-end stopped"}));
    EXPECT_EQ(r.returned, 4u);
}

class BracketingParser : public MarkupParser {
public:
    int calls = 0;
    void FilterText(std::string& text) override {
        ++calls;
        if (text == "drop") {
            text.clear();
            return;
        }
        text = "[" + text + "]  ";
    }
};

TEST(AcquireTokenizerNotify, FilterTextSeesEachPendingTextBeforeTheEmptyTestAndTheTrim) {
    EventRecorder recorder;
    BracketingParser parser;
    parser.handler = &recorder;
    parser.Parse("a<p>drop<p>b&amp;  ");
    EXPECT_EQ(recorder.events, (Events{"document-start", "text \"[a]  \"", "start p", "start p", "text \"[b&  ]\"",
                                       "document-end"}));
    EXPECT_EQ(parser.calls, 3);
}

// ------------------------------------------- the Parse operations on their own

TEST(AcquireTokenizerParts, TagParseReportsLengthNameAndKind) {
    MarkupTag tag;
    bool isStart = false, isEnd = false;
    EXPECT_EQ(tag.Parse("<a b='c'>rest", isStart, isEnd, true), 9u);
    EXPECT_EQ(tag.name, "a");
    EXPECT_TRUE(isStart);
    EXPECT_FALSE(isEnd);
    ASSERT_NE(tag.attributes(), nullptr);
    ASSERT_EQ(tag.attributes()->size(), 1u);
    EXPECT_EQ((*tag.attributes())[0].name(), "b");
    EXPECT_EQ((*tag.attributes())[0].value(), "c");

    EXPECT_EQ(tag.Parse("  </td>", isStart, isEnd, true), 7u);
    EXPECT_EQ(tag.name, "td");
    EXPECT_FALSE(isStart);
    EXPECT_TRUE(isEnd);
    EXPECT_EQ(tag.attributes(), nullptr);

    EXPECT_EQ(tag.Parse("<br/>", isStart, isEnd, true), 5u);
    EXPECT_TRUE(isStart);
    EXPECT_TRUE(isEnd);
}

TEST(AcquireTokenizerParts, EmptyTagIsNeitherStartNorEndAndDropsTheAttributes) {
    MarkupTag tag;
    bool isStart = true, isEnd = true;
    ASSERT_GT(tag.Parse("<x y=z>", isStart, isEnd, true), 0u);
    EXPECT_EQ(tag.Parse("<>", isStart, isEnd, true), 2u);
    EXPECT_EQ(tag.name, "");
    EXPECT_FALSE(isStart);
    EXPECT_FALSE(isEnd);
    EXPECT_EQ(tag.attributes(), nullptr);
}

TEST(AcquireTokenizerParts, FailedTagParseChangesNothing) {
    MarkupTag tag;
    bool isStart = false, isEnd = false;
    ASSERT_EQ(tag.Parse("<x y=z>", isStart, isEnd, true), 7u);
    isStart = false;
    isEnd = true;
    for (const char* bad : {"<1>", "x<a>", "<a b=\"open", "</a >", "<a b=x/y>", ""}) {
        EXPECT_EQ(tag.Parse(bad, isStart, isEnd, true), 0u) << bad;
        EXPECT_EQ(tag.name, "x");
        ASSERT_NE(tag.attributes(), nullptr);
        EXPECT_EQ(tag.attributes()->at(0).value(), "z");
        EXPECT_FALSE(isStart);
        EXPECT_TRUE(isEnd);
    }
}

TEST(AcquireTokenizerParts, WithoutAttributesTheTagRunsToTheNextSlashBracket) {
    MarkupTag tag;
    bool isStart = false, isEnd = false;
    EXPECT_EQ(tag.Parse("<a b=\"/>\">", isStart, isEnd, true), 10u);
    EXPECT_FALSE(isEnd);
    EXPECT_EQ(tag.Parse("<a b=\"/>\">", isStart, isEnd, false), 8u);
    EXPECT_TRUE(isStart);
    EXPECT_TRUE(isEnd);
    EXPECT_EQ(tag.attributes(), nullptr);
    EXPECT_EQ(tag.Parse("<a b=c>", isStart, isEnd, false), 7u);
    EXPECT_FALSE(isEnd);
    EXPECT_EQ(tag.attributes(), nullptr);
}

TEST(AcquireTokenizerParts, AttributeListParse) {
    MarkupAttributeList list;
    EXPECT_EQ(list.Parse("b='c' d e='f' >"), 13u);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].name(), "b");
    EXPECT_EQ(list[1].name(), "d");
    EXPECT_EQ(list[1].value(), "");
    EXPECT_EQ(list[2].value(), "f");
    // No attribute at p: 0, and the list stays as it was.
    EXPECT_EQ(list.Parse("  =x"), 0u);
    EXPECT_EQ(list.size(), 3u);
    // A new list replaces the old one.
    EXPECT_EQ(list.Parse(" g=1 !"), 4u);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].name(), "g");
    // Up to the end of the input.
    EXPECT_EQ(list.Parse("h i=\"open"), 9u);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1].value(), "open");
    list.Clear();
    EXPECT_TRUE(list.empty());
}

TEST(AcquireTokenizerParts, AttributeParse) {
    MarkupAttribute a;
    EXPECT_EQ(a.Parse("  b=c d"), 5u);
    EXPECT_EQ(a.name(), "b");
    EXPECT_EQ(a.value(), "c");
    EXPECT_EQ(a.Parse("b"), 1u);
    EXPECT_EQ(a.value(), "");
    EXPECT_EQ(a.Parse("b>"), 1u);
    EXPECT_EQ(a.Parse("b/"), 1u);
    EXPECT_EQ(a.Parse("b = c"), 1u);
    EXPECT_EQ(a.Parse("b=\"x y\" z"), 7u);
    EXPECT_EQ(a.value(), "x y");
    EXPECT_EQ(a.Parse("b=\"x"), 4u);
    EXPECT_EQ(a.value(), "x");
    EXPECT_EQ(a.Parse("b=  "), 4u);
    EXPECT_EQ(a.value(), "");
    EXPECT_EQ(a.Parse("b=x>y"), 3u);
    EXPECT_EQ(a.value(), "x");
    a.SetValue("kept");
    for (const char* bad : {"1b", "b\"", "=b", "", "  ", "-b", "b<"}) {
        EXPECT_EQ(a.Parse(bad), 0u) << bad;
        EXPECT_EQ(a.value(), "kept");
    }
}

TEST(AcquireTokenizerParts, ParserOperationsWorkOnTheirOwnAtPosition) {
    MarkupParser parser;
    const char* text = "x<!-- c -->y<td a=1>";
    parser.input = text;
    parser.length = std::strlen(text);
    parser.position = 1;
    std::string comment = "old";
    ASSERT_TRUE(parser.ParseComment(comment));
    EXPECT_EQ(comment, " c ");
    EXPECT_EQ(parser.position, 11u);
    EXPECT_FALSE(parser.ParseComment(comment));
    EXPECT_EQ(parser.position, 11u);
    EXPECT_EQ(comment, " c ");

    MarkupTag tag;
    bool isStart = false, isEnd = false;
    EXPECT_FALSE(parser.ParseTag(tag, isStart, isEnd));
    parser.position = 12;
    ASSERT_TRUE(parser.ParseTag(tag, isStart, isEnd));
    EXPECT_EQ(parser.position, 20u);
    EXPECT_EQ(tag.name, "td");
    EXPECT_TRUE(isStart);
    ASSERT_NE(tag.attributes(), nullptr);
    EXPECT_EQ(tag.attributes()->at(0).value(), "1");
}

// ------------------------------------------------------------- attribute values

TEST(AcquireTokenizerValue, TrimJoinAndBlank) {
    EXPECT_EQ(MarkupAttribute::DecodeValue("  a\tb\r\nc  "), "a b c");
    EXPECT_EQ(MarkupAttribute::DecodeValue("\n\t \r"), "");
    EXPECT_EQ(MarkupAttribute::DecodeValue("x\n\ny"), "xy");
    EXPECT_EQ(MarkupAttribute::DecodeValue(" &amp; "), "&");
}

TEST(AcquireTokenizerValue, EveryOccurrenceIsReplacedAndADecodedAmpersandStays) {
    EXPECT_EQ(MarkupAttribute::DecodeValue("&amp;lt;"), "&lt;");
    EXPECT_EQ(MarkupAttribute::DecodeValue("&amp;amp;"), "&amp;");
    EXPECT_EQ(MarkupAttribute::DecodeValue("&#38;#38;"), "&#38;");
    EXPECT_EQ(MarkupAttribute::DecodeValue("&lt;&lt;&gt;"), "<<>");
    EXPECT_EQ(MarkupAttribute::DecodeValue("&eacute;t&eacute;"), "\xE9t\xE9");
    EXPECT_EQ(MarkupAttribute::DecodeValue("a&b&amp;"), "a&b&");
    EXPECT_EQ(MarkupAttribute::DecodeValue("&lt;x&lt"), "<x&lt");
    // A later reference rewrites an earlier "&lt;" that a decoded "&" made.
    EXPECT_EQ(MarkupAttribute::DecodeValue("x&amp;lt; &lt;"), "x< <");
    EXPECT_EQ(MarkupAttribute::DecodeValue("&amp;lt;&lt;"), "<<");
}

TEST(AcquireTokenizerValue, NulFromAReferenceEndsTheTextTheDecoderSees) {
    EXPECT_EQ(MarkupAttribute::DecodeValue("&#0;&#65&#0;;"), "\0&#65\0;"s);
    EXPECT_EQ(MarkupAttribute::DecodeValue("&#0;&amp;"), "\0&"s);
}

const char* const kTrickyValues[] = {
    "&amp;lt;",        "&amp;amp;amp;", "x&amp;lt; &lt;", "&amp;lt;&lt;", "&lt;&lt;&lt;&gt;&lt;",
    " \t&Uuml;ber\r\n", "&#38;#38;",     "a&b&amp;&c",    "&#0;&amp;",    "&#x26;lt;&#60;",
    "&&&&;",           "&Auml;&auml;&AUML;", "plain",     "&eth;&ETH;&eTH;",
};

class AttributeReader : public MarkupHandler {
public:
    std::vector<std::string> values;
    std::vector<MarkupTag> copies;
    void OnStartTag(MarkupTag& tag, void*, bool& stop) override {
        copies.push_back(tag);
        if (const MarkupAttributeList* list = tag.attributes())
            for (const MarkupAttribute& a : *list) values.push_back(a.value());
        stop = false;
    }
};

TEST(AcquireTokenizerValue, LazyDecodingEqualsEagerSetValue) {
    for (const char* raw : kTrickyValues) {
        MarkupAttribute eager;
        eager.SetValue(raw);
        EXPECT_EQ(MarkupAttribute::DecodeValue(raw), eager.value()) << raw;

        AttributeReader reader;
        MarkupParser parser;
        parser.handler = &reader;
        const std::string page = "<a v='"s + raw + "' w=\"" + raw + "\">";
        parser.Parse(page.c_str());
        ASSERT_EQ(reader.values.size(), 2u) << raw;
        EXPECT_EQ(reader.values[0], eager.value()) << raw;
        EXPECT_EQ(reader.values[1], eager.value()) << raw;

        // A copy taken during the callback and read only after the parse.
        ASSERT_EQ(reader.copies.size(), 1u);
        const MarkupAttributeList* copied = reader.copies[0].attributes();
        ASSERT_NE(copied, nullptr);
        EXPECT_EQ(copied->at(0).value(), eager.value()) << raw;
        EXPECT_EQ(copied->at(0).value(), eager.value()) << "second read of " << raw;

        MarkupAttribute lazy;
        lazy.SetRawValue(raw);
        EXPECT_EQ(lazy.value(), eager.value()) << raw;
    }
}

TEST(AcquireTokenizerValue, AttributeNamesAreNeverDecoded) {
    MarkupAttribute a("x&amp;", "&amp;");
    EXPECT_EQ(a.name(), "x&amp;");
    EXPECT_EQ(a.value(), "&amp;");
}

}  // namespace
