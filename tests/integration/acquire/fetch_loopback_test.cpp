// FetchStandings over the libcurl client, against servers that really run
// on loopback.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "acquire/fetch_standings.h"
#include "acquire/http_client.h"
#include "acquire/standings_extractor.h"
#include "acquire/standings_table.h"
#include "app/association_table.h"
#include "app/startup.h"
#include "platform/posix/curl_http_client.h"
#include "results/league_files.h"
#include "results/open_results.h"
#include "tests/integration/acquire/loopback_servers.h"
#include "tools/league_site.h"

namespace {

// Loopback must not go through a proxy of the machine the tests run on.
const bool kNoProxy = [] {
    for (const char* v : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY",
                          "no_proxy", "NO_PROXY"}) {
        unsetenv(v);
    }
    return true;
}();

const std::string kStandingsPath = "/associations/association=ger/nationalleague/standings.html";

// A page small enough to check cell by cell: a head of eleven texts, two
// team rows, CRLF line ends and one text broken over two lines.
const std::string kSmallPage =
    "<html>\r\n<body>\r\n<table>\r\n<thead><tr>"
    "<th>#</th><th>x</th><th>Team</th><th>P</th><th>W</th><th>D</th><th>L</th>"
    "<th>F</th><th>A</th><th>+/-</th><th>Pts<span>v</span></th></tr></thead>\r\n"
    "<tbody>\r\n"
    "<tr><td>1</td><td><a href=\"/t/1\">Kal&ouml;\r\nUnited</a></td><td>3</td><td>2</td><td>1</td><td>0</td>"
    "<td>7</td><td>2</td><td>+5</td><td>7</td></tr>\r\n"
    "<tr><td>2</td><td><a href=\"/t/2\">Brann&#233;</a></td><td>3</td><td>0</td><td>1</td><td>2</td>"
    "<td>2</td><td>7</td><td>-5</td><td>1</td></tr>\r\n"
    "</tbody>\r\n</table>\r\n</body>\r\n</html>\r\n";

using Rows = std::vector<std::vector<std::string>>;

const Rows kSmallRows = {
    {"#", "", "Team", "P", "W", "D", "L", "F", "A", "+/-", "Pts"},
    {"1", "", "Kal\xF6United", "3", "2", "1", "0", "7", "2", "+5", "7"},
    {"2", "", "Brann\xE9", "3", "0", "1", "2", "2", "7", "-5", "1"},
};

std::string Response(const std::string& statusLine, const std::string& body, const std::string& extra = "") {
    return statusLine + "\r\nContent-Type: text/html\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\n" + extra + "Connection: close\r\n\r\n" + body;
}

std::string WithoutLineBreaks(std::string s) {
    std::string out;
    for (char c : s)
        if (c != '\r' && c != '\n') out += c;
    return out;
}

class Fetch : public ::testing::Test {
protected:
    void SetUp() override {
        theStandings.RemoveAll();
        StandingsExtractor::ResetSharedState();
    }
    bool Download(const std::string& url) {
        theStandings.RemoveAll();
        StandingsExtractor::ResetSharedState();
        CurlHttpClient client;
        return FetchStandings(client, url.c_str());
    }
    static Rows Table() {
        Rows rows;
        for (int r = 0; r < theStandings.GetSize(); ++r) {
            const StandingsRow& row = theStandings.ElementAt(r);
            rows.emplace_back(row.cells.begin(), row.cells.end());
        }
        return rows;
    }
};

TEST_F(Fetch, CrlfBodyGivesTheRowsOfTheSamePageWithoutLineBreaks) {
    ScriptedServer crlf([](int fd, const std::string&) { ScriptedServer::Send(fd, Response("HTTP/1.0 200 OK", kSmallPage)); });
    ScriptedServer flat([](int fd, const std::string&) {
        ScriptedServer::Send(fd, Response("HTTP/1.0 200 OK", WithoutLineBreaks(kSmallPage)));
    });
    ASSERT_TRUE(Download(crlf.Url(kStandingsPath)));
    const Rows fromCrlf = Table();
    ASSERT_TRUE(Download(flat.Url(kStandingsPath)));
    EXPECT_EQ(Table(), fromCrlf);
    EXPECT_EQ(fromCrlf, kSmallRows);
}

TEST_F(Fetch, RequestIsGetOverHttp10WithAgentVemoAndExactlyThePath) {
    ScriptedServer server([](int fd, const std::string&) { ScriptedServer::Send(fd, Response("HTTP/1.0 200 OK", kSmallPage)); });
    const std::string port = std::to_string(server.port());
    ASSERT_TRUE(Download(ComposeStandingsUrl("127.0.0.1:" + port, "ger")));
    // A code that would change the request line arrives encoded; dot
    // segments are sent as they are.
    ASSERT_TRUE(Download(ComposeStandingsUrl("127.0.0.1:" + port, "a b\r\n/../?#")));
    ASSERT_TRUE(Download(server.Url("/x/../y/./z?q=1")));
    const std::vector<std::string> heads = server.Heads();
    ASSERT_EQ(heads.size(), 3u);
    EXPECT_EQ(heads[0].substr(0, heads[0].find("\r\n")), "GET " + kStandingsPath + " HTTP/1.0");
    EXPECT_NE(heads[0].find("\r\nUser-Agent: Vemo\r\n"), std::string::npos) << heads[0];
    EXPECT_NE(heads[0].find("\r\nHost: 127.0.0.1:" + port + "\r\n"), std::string::npos) << heads[0];
    EXPECT_EQ(heads[1].substr(0, heads[1].find("\r\n")),
              "GET /associations/association=a%20b%0D%0A%2F..%2F%3F%23/nationalleague/standings.html HTTP/1.0");
    EXPECT_EQ(heads[2].substr(0, heads[2].find("\r\n")), "GET /x/../y/./z?q=1 HTTP/1.0");
}

TEST_F(Fetch, StatusOtherThan200IsAFailedDownloadAndItsBodyIsNotRead) {
    // Both bodies hold a full table; neither may reach the extractor.
    ScriptedServer notFound([](int fd, const std::string&) {
        ScriptedServer::Send(fd, Response("HTTP/1.0 404 Not Found", kSmallPage));
    });
    EXPECT_FALSE(Download(notFound.Url(kStandingsPath)));
    EXPECT_EQ(theStandings.GetSize(), 0);

    ScriptedServer redirect([](int fd, const std::string&) {
        ScriptedServer::Send(fd, Response("HTTP/1.0 302 Found", kSmallPage, "Location: /elsewhere\r\n"));
    });
    EXPECT_FALSE(Download(redirect.Url(kStandingsPath)));
    EXPECT_EQ(theStandings.GetSize(), 0);
    EXPECT_EQ(redirect.Connections(), 1);  // the redirect was not followed

    // An endless error body: the download stops at once instead of reading it.
    ScriptedServer endless([](int fd, const std::string&) {
        ScriptedServer::Send(fd, "HTTP/1.0 500 Internal Server Error\r\nContent-Type: text/html\r\n\r\n");
        const std::string chunk(65536, 'x');
        while (ScriptedServer::Send(fd, chunk)) {
        }
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Download(endless.Url(kStandingsPath)));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(theStandings.GetSize(), 0);
}

TEST_F(Fetch, StatusLineWithoutReasonPhrase) {
    ScriptedServer ok([](int fd, const std::string&) { ScriptedServer::Send(fd, Response("HTTP/1.0 200", kSmallPage)); });
    EXPECT_TRUE(Download(ok.Url(kStandingsPath)));
    EXPECT_EQ(Table(), kSmallRows);
    ScriptedServer missing([](int fd, const std::string&) { ScriptedServer::Send(fd, Response("HTTP/1.1 404", kSmallPage)); });
    EXPECT_FALSE(Download(missing.Url(kStandingsPath)));
    EXPECT_EQ(theStandings.GetSize(), 0);
}

TEST_F(Fetch, NonHttpUrlMakesNoRequest) {
    ScriptedServer server([](int fd, const std::string&) { ScriptedServer::Send(fd, Response("HTTP/1.0 200 OK", kSmallPage)); });
    const std::string hostPort = "127.0.0.1:" + std::to_string(server.port());
    EXPECT_TRUE(Download("https://" + hostPort + kStandingsPath));
    EXPECT_TRUE(Download("ftp://" + hostPort + kStandingsPath));
    EXPECT_TRUE(Download("not an url at all"));
    EXPECT_EQ(theStandings.GetSize(), 0);
    EXPECT_EQ(server.Connections(), 0);
}

TEST_F(Fetch, ConnectionRefusedIsAnError) {
    EXPECT_FALSE(Download("http://127.0.0.1:" + std::to_string(UnusedLoopbackPort()) + kStandingsPath));
    EXPECT_EQ(theStandings.GetSize(), 0);
}

TEST_F(Fetch, ServerThatStallsAfterAcceptingFailsWithinTheBound) {
    ScriptedServer* stallServer = nullptr;  // set before any client connects
    ScriptedServer stall([&stallServer](int fd, const std::string&) {
        // Headers and half the page, then silence with the connection open.
        const std::string r = Response("HTTP/1.0 200 OK", kSmallPage);
        ScriptedServer::Send(fd, r.substr(0, r.size() / 2));
        stallServer->WaitForClientToLeave(fd);
    });
    stallServer = &stall;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Download(stall.Url(kStandingsPath)));
    const auto took = std::chrono::steady_clock::now() - start;
    // The bound is 20 s, written out here so that a change of it shows.
    EXPECT_GE(took, std::chrono::seconds(19));
    EXPECT_LT(took, std::chrono::seconds(25));
    EXPECT_EQ(theStandings.GetSize(), 0);
}

// Filler the tokenizer reads as one long text, then the small table.
std::string PageOfSize(size_t size) {
    const std::string table = WithoutLineBreaks(kSmallPage);
    return std::string(size - table.size(), 'f') + table;
}

// The cap is 32 MiB, written out here so that a change of it shows.
constexpr size_t kCap = 32u * 1024 * 1024;

TEST_F(Fetch, BodyOverTheCapIsAnError) {
    ScriptedServer exact([](int fd, const std::string&) {
        ScriptedServer::Send(fd, Response("HTTP/1.0 200 OK", PageOfSize(kCap)));
    });
    EXPECT_TRUE(Download(exact.Url(kStandingsPath)));
    EXPECT_EQ(Table(), kSmallRows);

    ScriptedServer announced([](int fd, const std::string&) {
        ScriptedServer::Send(fd, Response("HTTP/1.0 200 OK", PageOfSize(kCap + 1)));
    });
    EXPECT_FALSE(Download(announced.Url(kStandingsPath)));
    EXPECT_EQ(theStandings.GetSize(), 0);

    // Without a length the body runs until the server closes: the cap still
    // ends it.
    ScriptedServer unannounced([](int fd, const std::string&) {
        ScriptedServer::Send(fd, "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n" + PageOfSize(kCap + 4096));
    });
    EXPECT_FALSE(Download(unannounced.Url(kStandingsPath)));
    EXPECT_EQ(theStandings.GetSize(), 0);
}

TEST_F(Fetch, BodyCutShortIsAnErrorAndNothingIsParsed) {
    // Each of these delivers the whole table before the body breaks off.
    const std::string full = Response("HTTP/1.0 200 OK", kSmallPage + std::string(4000, ' '));
    ScriptedServer shortBody([&](int fd, const std::string&) { ScriptedServer::Send(fd, full.substr(0, full.size() - 1000)); });
    EXPECT_FALSE(Download(shortBody.Url(kStandingsPath)));
    EXPECT_EQ(theStandings.GetSize(), 0);

    ScriptedServer reset([&](int fd, const std::string&) {
        ScriptedServer::Send(fd, full.substr(0, full.size() - 1000));
        ScriptedServer::Reset(fd);
    });
    EXPECT_FALSE(Download(reset.Url(kStandingsPath)));
    EXPECT_EQ(theStandings.GetSize(), 0);
}

TEST_F(Fetch, ContentLengthShorterThanTheBodyEndsThePage) {
    // The length covers the head and the first team row only.
    const std::string page = WithoutLineBreaks(kSmallPage);
    const size_t cut = page.find("<tr><td>2</td>");
    ScriptedServer server([&](int fd, const std::string&) {
        ScriptedServer::Send(fd, "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(cut) + "\r\n\r\n" + page);
    });
    EXPECT_TRUE(Download(server.Url(kStandingsPath)));
    EXPECT_EQ(Table(), Rows(kSmallRows.begin(), kSmallRows.begin() + 2));
}

TEST_F(Fetch, ProxyComesFromTheEnvironment) {
    ScriptedServer proxy([](int fd, const std::string&) { ScriptedServer::Send(fd, Response("HTTP/1.0 200 OK", kSmallPage)); });
    setenv("http_proxy", ("http://127.0.0.1:" + std::to_string(proxy.port())).c_str(), 1);
    const bool ok = Download("http://standings.invalid" + kStandingsPath);
    unsetenv("http_proxy");
    EXPECT_TRUE(ok);
    EXPECT_EQ(Table(), kSmallRows);
    const std::vector<std::string> heads = proxy.Heads();
    ASSERT_EQ(heads.size(), 1u);
    EXPECT_EQ(heads[0].substr(0, heads[0].find("\r\n")), "GET http://standings.invalid" + kStandingsPath + " HTTP/1.0");
}

// A saver that reads open results itself shows the very rows a saver gets
// from the site's page of the same results: every league of the snapshot,
// on a day when its season is the one under way.
TEST_F(Fetch, OpenResultsGiveTheRowsOfTheSitesPage) {
    ServeProcess serve({"--results", SCORVANE_RESULTS_SNAPSHOT});
    OpenResultsPlaces places;
    places.bundledFolder = SCORVANE_RESULTS_SNAPSHOT;
    places.today = {2026, 3, 15};
    int compared = 0;
    for (const LeagueMapping& m : DefaultLeagueMap()) {
        SCOPED_TRACE(m.code);
        const OpenResultsOutcome own = AcquireOpenResults(nullptr, m.code, places);
        const bool served = Download(ComposeStandingsUrl("127.0.0.1:" + std::to_string(serve.port()), m.code));
        if (own.from == OpenResultsOutcome::From::Nothing) {
            EXPECT_TRUE(!served || Table().empty()) << "the site has a table the saver could not find";
            continue;
        }
        ASSERT_EQ(own.from, OpenResultsOutcome::From::Bundled);
        ASSERT_TRUE(served);
        Rows rows;
        for (const StandingsRow& row : own.rows) rows.emplace_back(row.cells.begin(), row.cells.end());
        EXPECT_EQ(rows, Table());
        ++compared;
    }
    EXPECT_EQ(compared, 18);
}

// The other standings pages of the site, the made-up leagues of every
// association without open results, read the saver's way: the very league
// the site made, row for row.
TEST_F(Fetch, MadeUpLeaguePagesGiveTheirLeagueRowForRow) {
    ServeProcess serve({"--results", SCORVANE_RESULTS_SNAPSHOT, "--made-up"});
    OpenResultsPlaces places;
    places.bundledFolder = SCORVANE_RESULTS_SNAPSHOT;
    places.today = {2026, 3, 15};
    Rows head(1, std::vector<std::string>(std::begin(kLeagueHeaderTexts), std::end(kLeagueHeaderTexts)));
    head[0][1].clear();
    int compared = 0;
    for (int i = 0; i < kAssociationCount; ++i) {
        const char* code = AssociationCodeAt(i);
        SCOPED_TRACE(code);
        if (AcquireOpenResults(nullptr, code, places).from == OpenResultsOutcome::From::Bundled) continue;
        ASSERT_TRUE(Download(ComposeStandingsUrl("127.0.0.1:" + std::to_string(serve.port()), code)));
        Rows expected = head;
        for (const LeagueTeam& t : GenerateLeague(code, AssociationNameForCode(code)).teams) {
            expected.push_back({t.position, "", t.name});
            expected.back().insert(expected.back().end(), t.figures.begin(), t.figures.end());
        }
        EXPECT_EQ(Table(), expected);
        ++compared;
    }
    EXPECT_EQ(compared, kAssociationCount - 18);
}

// The stand-in site, with the real tool.
TEST_F(Fetch, ServedLeagueComesOutAlignedAndAddsUp) {
    // The Faroe Islands have no open results: a made-up league stands in.
    ServeProcess serve({"--made-up"});
    for (const char* code : {"ger", "eng", "bra", "fro"}) {
        SCOPED_TRACE(code);
        ASSERT_TRUE(Download(ComposeStandingsUrl("127.0.0.1:" + std::to_string(serve.port()), code)));
        const Rows rows = Table();
        ASSERT_GE(rows.size(), 11u);
        ASSERT_LE(rows.size(), 21u);
        EXPECT_EQ(rows[0], (std::vector<std::string>{"Pos.", "", "Club", "P", "W", "D", "L", "GF", "GA", "GD", "Pts"}));
        int wins = 0, losses = 0, goalsFor = 0, goalsAgainst = 0;
        bool accented = false;
        for (size_t r = 1; r < rows.size(); ++r) {
            const std::vector<std::string>& row = rows[r];
            EXPECT_EQ(row[0], std::to_string(r) + ".");
            EXPECT_EQ(row[1], "");
            EXPECT_FALSE(row[2].empty());
            for (unsigned char c : row[2]) {
                EXPECT_TRUE(c >= 0x20 && c != 0x7F && (c < 0x80 || c >= 0xC0)) << row[2];
                accented = accented || c >= 0xC0;
            }
            const int p = std::stoi(row[3]), w = std::stoi(row[4]), d = std::stoi(row[5]), l = std::stoi(row[6]);
            const int gf = std::stoi(row[7]), ga = std::stoi(row[8]), gd = std::stoi(row[9]), pts = std::stoi(row[10]);
            EXPECT_EQ(p, w + d + l) << row[2];
            EXPECT_EQ(gd, gf - ga) << row[2];
            EXPECT_EQ(pts, 3 * w + d) << row[2];
            if (r > 1) {
                EXPECT_LE(pts, std::stoi(rows[r - 1][10]));
            }
            wins += w;
            losses += l;
            goalsFor += gf;
            goalsAgainst += ga;
        }
        EXPECT_EQ(wins, losses);
        EXPECT_EQ(goalsFor, goalsAgainst);
        // Real tables for ger and bra (München, São Paulo), a made-up one for
        // fro; the Premier League has no accented club.
        if (std::string(code) != "eng") {
            EXPECT_TRUE(accented);
        }
        // The same code gives the same league every time.
        ASSERT_TRUE(Download(ComposeStandingsUrl("127.0.0.1:" + std::to_string(serve.port()), code)));
        EXPECT_EQ(Table(), rows);
    }
    // An unknown code is a 404: a failed download, no rows.
    EXPECT_FALSE(Download(ComposeStandingsUrl("127.0.0.1:" + std::to_string(serve.port()), "xyz")));
    EXPECT_EQ(theStandings.GetSize(), 0);

    const std::string log = serve.StopAndCollectLog();
    EXPECT_EQ(serve.ExitStatus(), 0);
    EXPECT_NE(log.find("\nGET " + kStandingsPath + " HTTP/1.0 \"Vemo\" 200\n"), std::string::npos) << log;
    EXPECT_NE(log.find("\nGET /associations/association=xyz/nationalleague/standings.html HTTP/1.0 \"Vemo\" 404\n"),
              std::string::npos)
        << log;
}

}  // namespace
