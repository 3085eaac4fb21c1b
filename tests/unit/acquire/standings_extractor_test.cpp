#include "acquire/standings_extractor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "standings_test_support.h"

namespace {

std::string Cells(const char* tag, const std::vector<std::string>& texts) {
    std::string out;
    for (const std::string& t : texts) out += std::string("<") + tag + ">" + t + "</" + tag + ">";
    return out;
}

std::vector<std::string> Letters(char first, int n) {
    std::vector<std::string> v;
    for (int i = 0; i < n; ++i) v.push_back(std::string(1, static_cast<char>(first + i)));
    return v;
}

std::vector<std::string> Numbered(const std::string& prefix, int from, int n) {
    std::vector<std::string> v;
    for (int i = 0; i < n; ++i) v.push_back(prefix + std::to_string(from + i));
    return v;
}

using AcquireExtractor = FreshStandings;

TEST_F(AcquireExtractor, HeaderRowThenTeamRows) {
    ExtractPage("<table><thead><tr>" + Cells("th", Letters('A', 11)) + "</tr></thead><tbody><tr>" +
                Cells("td", Numbered("a", 0, 10)) + "</tr><tr>" + Cells("td", Numbered("b", 0, 10)) +
                "</tr></tbody></table>");
    EXPECT_EQ(StoredRows(), (std::vector<Row>{
                                {"A", "", "C", "D", "E", "F", "G", "H", "I", "J", "K"},
                                {"a0", "", "a1", "a2", "a3", "a4", "a5", "a6", "a7", "a8", "a9"},
                                {"b0", "", "b1", "b2", "b3", "b4", "b5", "b6", "b7", "b8", "b9"},
                            }));
}

TEST_F(AcquireExtractor, TwentyTwoHeaderTextsGiveTwoHeaderRows) {
    std::vector<std::string> texts = Letters('A', 11);
    for (const std::string& t : Letters('a', 11)) texts.push_back(t);
    ExtractPage("<thead><tr>" + Cells("th", texts) + "</tr></thead>");
    EXPECT_EQ(StoredRows(), (std::vector<Row>{
                                {"A", "", "C", "D", "E", "F", "G", "H", "I", "J", "K"},
                                {"a", "", "c", "d", "e", "f", "g", "h", "i", "j", "k"},
                            }));
}

TEST_F(AcquireExtractor, SpanEndsTheHeaderCell) {
    std::vector<std::string> texts = Letters('A', 11);
    texts[10] = "Pts<span class=\"sort\">&#9660;</span>after";
    texts[3] = "<abbr>G</abbr>";  // an inner tag other than span keeps collecting
    ExtractPage("<thead><tr>" + Cells("th", texts) + "<th>Z</th></tr></thead>");
    EXPECT_EQ(StoredRows(), (std::vector<Row>{{"A", "", "C", "G", "E", "F", "G", "H", "I", "J", "Pts"}}));
}

TEST_F(AcquireExtractor, TextsAreCountedNotCells) {
    // A blank before the link is a text of its own and shifts the row.
    std::vector<std::string> texts = Numbered("t", 0, 10);
    texts[1] = " <a href=\"/club\">Club</a>";
    ExtractPage("<tbody><tr>" + Cells("td", texts) + "</tr></tbody>");
    EXPECT_EQ(StoredRows(), (std::vector<Row>{{"t0", "", " ", "Club", "t2", "t3", "t4", "t5", "t6", "t7", "t8"}}));
    EXPECT_EQ(theExtractorState.bodyColumn, 1);
    EXPECT_EQ(theExtractorState.workRow[0], "t9");
}

TEST_F(AcquireExtractor, CellsOutsideTheirSectionAndUpperCaseNamesAreIgnored) {
    ExtractPage("<table><tr>" + Cells("th", Letters('A', 11)) + "</tr><tr>" + Cells("td", Numbered("x", 0, 10)) +
                "</tr><THEAD>" + Cells("th", Letters('A', 11)) + "</THEAD><tbody>" + Cells("TD", Numbered("y", 0, 10)) +
                Cells("th", Letters('A', 11)) + "</tbody><thead>" + Cells("td", Numbered("z", 0, 10)) +
                "</thead></table>");
    EXPECT_EQ(theStandings.GetSize(), 0);
}

TEST_F(AcquireExtractor, NoHeadGivesTeamRowsOnlyAndNeitherGivesNothing) {
    ExtractPage("<table><tbody><tr>" + Cells("td", Numbered("a", 0, 10)) + "</tr></tbody></table>");
    EXPECT_EQ(StoredRows(), (std::vector<Row>{{"a0", "", "a1", "a2", "a3", "a4", "a5", "a6", "a7", "a8", "a9"}}));

    theStandings.RemoveAll();
    StandingsExtractor::ResetSharedState();
    ExtractPage("<table><tr>" + Cells("td", Numbered("a", 0, 10)) + "</tr></table>");
    EXPECT_EQ(theStandings.GetSize(), 0);
}

TEST_F(AcquireExtractor, LeftOverBodyTextsAreNotStored) {
    ExtractPage("<tbody><tr>" + Cells("td", Numbered("v", 0, 25)) + "</tr></tbody>");
    EXPECT_EQ(StoredRows(), (std::vector<Row>{
                                {"v0", "", "v1", "v2", "v3", "v4", "v5", "v6", "v7", "v8", "v9"},
                                {"v10", "", "v11", "v12", "v13", "v14", "v15", "v16", "v17", "v18", "v19"},
                            }));
    EXPECT_EQ(theExtractorState.bodyColumn, 5);
}

TEST_F(AcquireExtractor, IncompleteHeaderIsNotStoredAndRowZeroIsATeam) {
    ExtractPage("<thead><tr>" + Cells("th", Letters('A', 5)) + "</tr></thead><tbody><tr>" +
                Cells("td", Numbered("a", 0, 10)) + "</tr></tbody>");
    EXPECT_EQ(StoredRows(), (std::vector<Row>{{"a0", "", "a1", "a2", "a3", "a4", "a5", "a6", "a7", "a8", "a9"}}));
    EXPECT_EQ(theExtractorState.headColumn, 5);
}

TEST_F(AcquireExtractor, RowAndCellEndsCloseCells) {
    // "tr" ends an open body cell; "</td>" and "</th>" end theirs.
    ExtractPage("<tbody><tr><td>a0<tr>lost<td>a1</td>lost too<td>a2" + Cells("td", Numbered("a", 3, 7)) +
                "</tbody><thead><th>H</th>outside</thead>");
    EXPECT_EQ(StoredRows(), (std::vector<Row>{{"a0", "", "a1", "a2", "a3", "a4", "a5", "a6", "a7", "a8", "a9"}}));
    EXPECT_EQ(theExtractorState.headColumn, 1);
    EXPECT_FALSE(theExtractorState.inHeadCell);
    EXPECT_FALSE(theExtractorState.inHead);
    EXPECT_FALSE(theExtractorState.inBody);
}

TEST_F(AcquireExtractor, ATextInBothKindsOfCellGoesThroughTheHeaderStepFirst) {
    std::string page = "<thead><tbody><th><td>";
    for (int i = 0; i <= 10; ++i) page += "t" + std::to_string(i) + "<b>";
    ExtractPage(page);
    EXPECT_EQ(StoredRows(), (std::vector<Row>{
                                {"t0", "", "t2", "t3", "t4", "t5", "t6", "t7", "t8", "t9", "t9"},
                                {"t0", "", "t2", "t3", "t4", "t5", "t6", "t7", "t8", "t9", "t10"},
                            }));
    EXPECT_EQ(theExtractorState.workRow[0], "t10");
}

TEST_F(AcquireExtractor, TextsAreStoredAsDeliveredAndCellOneStaysEmpty) {
    std::vector<std::string> texts = {" 1.", "FC &Uuml;berbach &amp; S&ouml;hne", "10", "7", "2", "1", "21", "9",
                                      "+12", "23 "};
    ExtractPage("<tbody><tr>" + Cells("td", texts) + "</tr></tbody>");
    EXPECT_EQ(StoredRows(), (std::vector<Row>{{" 1.", "", "FC \xDC" "berbach & S\xF6hne", "10", "7", "2", "1", "21",
                                               "9", "+12", "23 "}}));
}

TEST_F(AcquireExtractor, StateIsSharedByEveryExtractorAndSurvivesTheParse) {
    ExtractPage("<tbody><tr>" + Cells("td", Numbered("p", 0, 6)));
    EXPECT_EQ(theStandings.GetSize(), 0);
    EXPECT_TRUE(theExtractorState.inBody);
    EXPECT_EQ(theExtractorState.bodyColumn, 6);
    // A second page, with a new extractor and parser, continues the row.
    ExtractPage(Cells("td", Numbered("q", 0, 4)));
    EXPECT_EQ(StoredRows(), (std::vector<Row>{{"p0", "", "p1", "p2", "p3", "p4", "p5", "q0", "q1", "q2", "q3"}}));
}

TEST_F(AcquireExtractor, NeverStopsAndIgnoresCommentsAndAttributes) {
    StandingsExtractor extractor;
    MarkupTag tag;
    bool isStart, isEnd;
    bool stop = true;
    ASSERT_GT(tag.Parse("<tbody class=\"x\">", isStart, isEnd, true), 0u);
    extractor.OnStartTag(tag, nullptr, stop);
    EXPECT_FALSE(stop);
    stop = true;
    extractor.OnEndTag(tag, nullptr, stop);
    EXPECT_FALSE(stop);
    stop = true;
    std::string text = "x";
    extractor.OnText(text, nullptr, stop);
    EXPECT_FALSE(stop);
    stop = true;
    extractor.OnComment(text, nullptr, stop);
    EXPECT_FALSE(stop);
    ExtractPage("<tbody><!--<td>a</td>--><td title=\"t\">b</td>");
    EXPECT_EQ(theExtractorState.bodyColumn, 1);
    EXPECT_EQ(theExtractorState.workRow[0], "b");
}

TEST_F(AcquireExtractor, ResetRestoresProgramStart) {
    ExtractPage("<thead><th>A<tbody><td>x");
    StandingsExtractor::ResetSharedState();
    const StandingsExtractorState& s = theExtractorState;
    EXPECT_FALSE(s.inHead || s.inBody || s.inHeadCell || s.inBodyCell);
    EXPECT_EQ(s.headColumn, 0);
    EXPECT_EQ(s.bodyColumn, 0);
    for (const std::string& cell : s.workRow.cells) EXPECT_EQ(cell, "");
}

}  // namespace
