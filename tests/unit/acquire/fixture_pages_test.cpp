// Hand-written standings pages in the shapes the saver meets (CR LF line ends,
// scripts, comments, sort markers, links, references for accented letters)
// with the rows each must yield, written out as `scorvane extract` prints
// them: UTF-8, cells separated by TAB.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "acquire/fetch_standings.h"
#include "acquire/http_client.h"
#include "standings_test_support.h"

namespace {

std::string ReadFixture(const std::string& name) {
    std::ifstream in(std::string(SCORVANE_FIXTURES_DIR) + "/pages/" + name, std::ios::binary);
    EXPECT_TRUE(in.good()) << "cannot open fixture " << name;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Latin1ToUtf8Escaped(const std::string& cell) {
    static const char* const kHex = "0123456789abcdef";
    std::string out;
    for (unsigned char c : cell) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c < 0x20 || c == 0x7F) {
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::vector<std::string> TableAsLines() {
    std::vector<std::string> lines;
    for (int i = 0; i < theStandings.GetSize(); ++i) {
        std::string line;
        for (int c = 0; c < 11; ++c) {
            if (c > 0) line += '\t';
            line += Latin1ToUtf8Escaped(theStandings.ElementAt(i)[c]);
        }
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> ExpectedLines(const std::string& name) {
    std::istringstream in(ReadFixture(name));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string WithoutLineBreaks(std::string s) {
    std::string out;
    for (char c : s)
        if (c != '\r' && c != '\n') out += c;
    return out;
}

class ServingClient : public HttpClient {
public:
    explicit ServingClient(std::string page) : page_(std::move(page)) {}
    int Get(const std::string&, int, const std::string&, std::string& body) override {
        body = page_;
        return 200;
    }

private:
    std::string page_;
};

class AcquireFixturePages : public FreshStandings, public ::testing::WithParamInterface<const char*> {};

TEST_P(AcquireFixturePages, YieldExactlyTheirRows) {
    const std::string name = GetParam();
    const std::string raw = ReadFixture(name + ".html");
    ASSERT_NE(raw.find("\r\n"), std::string::npos) << "the fixture lost its CR LF line ends";
    const std::vector<std::string> expected = ExpectedLines(name + ".rows");
    ASSERT_FALSE(expected.empty());

    ExtractPage(WithoutLineBreaks(raw));
    EXPECT_EQ(TableAsLines(), expected);
    for (int i = 0; i < theStandings.GetSize(); ++i) EXPECT_EQ(theStandings.ElementAt(i)[1], "");

    theStandings.RemoveAll();
    StandingsExtractor::ResetSharedState();
    ServingClient client(raw);
    ASSERT_TRUE(FetchStandings(client, "http://standings.example.test/associations/association=nor/nationalleague/standings.html"));
    EXPECT_EQ(TableAsLines(), expected);
}

INSTANTIATE_TEST_SUITE_P(Pages, AcquireFixturePages, ::testing::Values("nordliga", "kuestenliga", "sierra"));

}  // namespace
