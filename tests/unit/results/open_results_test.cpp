// The saver's way to a table from open match results, natively and in the
// Windows build: which seasons are asked for, what is kept, and what stands
// in when the source fails. The real clients have their own tests against
// loopback servers; here a scripted one stands in for the transport.

#include "results/open_results.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "acquire/http_client.h"

namespace {

namespace fs = std::filesystem;

const char kBase[] = "http://results.test/football.json";

// A played matchday of two games and a fixture on the next one.
std::string Season(const std::string& date, bool played = true) {
    const std::string score = played ? R"(, "score": {"ft": [2, 1]})" : "";
    return R"({"name": "Test League", "matches": [
      {"round": "Matchday 1", "date": ")" + date + R"(", "team1": "Alder FC", "team2": "Birch United")" + score + R"(},
      {"round": "Matchday 1", "date": ")" + date + R"(", "team1": "Cobalt", "team2": "Dunmore")" + score + R"(},
      {"round": "Matchday 2", "date": "2099-01-01", "team1": "Birch United", "team2": "Cobalt"}]})";
}

class ScriptedSource : public HttpClient {
public:
    struct Answer {
        int status = 200;
        std::string body;
        std::string etag;
        bool refuse = false;
    };
    std::map<std::string, Answer> answers;  // by URL; any other URL: 404
    std::vector<FileRequest> requests;

    int Get(const std::string&, int, const std::string&, std::string&) override {
        throw HttpError("no standings page here");
    }
    FileResponse GetFile(const FileRequest& request) override {
        requests.push_back(request);
        const auto found = answers.find(request.url);
        if (found == answers.end()) return {404, "", "", ""};
        const Answer& a = found->second;
        if (a.refuse) throw HttpError("Couldn't connect to server");
        if (!a.etag.empty() && request.ifNoneMatch == a.etag) return {304, "", a.etag, ""};
        return {a.status, a.status == 200 ? a.body : "", a.etag, ""};
    }
};

class OpenResults : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                ("open-results-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(root_);
        places_.base = kBase;
        places_.cacheFolder = root_ / "cache";
        places_.today = {2026, 12, 9};
    }
    void TearDown() override { fs::remove_all(root_); }

    std::string Url(const std::string& season) const { return std::string(kBase) + "/" + season + "/en.1.json"; }
    static std::vector<std::string> Clubs(const OpenResultsOutcome& o) {
        std::vector<std::string> names;
        for (const StandingsRow& r : o.rows) names.push_back(r[0] + " " + r[2] + " " + r[10]);
        return names;
    }

    fs::path root_;
    OpenResultsPlaces places_;
};

TEST(SeasonFolders, TheSeasonUnderWayThenTheOneBefore) {
    EXPECT_EQ(SeasonFoldersToTry("en.1", {2026, 12, 9}), (std::vector<std::string>{"2026-27", "2025-26"}));
    EXPECT_EQ(SeasonFoldersToTry("en.1", {2026, 6, 30}), (std::vector<std::string>{"2025-26", "2024-25"}));
    EXPECT_EQ(SeasonFoldersToTry("de.1", {2000, 7, 1}), (std::vector<std::string>{"2000-01", "1999-00"}));
    EXPECT_EQ(SeasonFoldersToTry("br.1", {2026, 1, 5}), (std::vector<std::string>{"2026", "2025"}));
    EXPECT_EQ(SeasonFoldersToTry("mls", {2026, 12, 9}), (std::vector<std::string>{"2026", "2025"}));
}

TEST(SeasonFolders, DateTextOfTheNewestResult) {
    EXPECT_EQ(StandingsDateText("2026-03-08"), "Standings of 8 March 2026");
    EXPECT_EQ(StandingsDateText("2025-12-31"), "Standings of 31 December 2025");
    for (const char* bad : {"", "2026-3-08", "2026-13-01", "2026-03-08x", "20260308"})
        EXPECT_EQ(StandingsDateText(bad), "") << bad;
}

TEST_F(OpenResults, MissingNewerSeasonFallsBackThenTheCacheServesWhenTheSourceGoes) {
    ScriptedSource source;
    source.answers[Url("2025-26")] = {200, Season("2026-03-08"), "\"v1\""};
    OpenResultsOutcome got = AcquireOpenResults(&source, "eng", places_);
    ASSERT_EQ(got.from, OpenResultsOutcome::From::Source) << got.problem;
    EXPECT_EQ(got.season, "2025-26");
    EXPECT_EQ(got.newestDate, "2026-03-08");
    EXPECT_EQ(StatusTextFor(got, "eng", true), "Standings of 8 March 2026");
    const std::vector<std::string> table = {"Pos. Club Pts", "1. Alder FC 3", "2. Cobalt 3", "3. Birch United 0",
                                            "4. Dunmore 0"};
    EXPECT_EQ(Clubs(got), table);
    ASSERT_EQ(source.requests.size(), 2u);
    EXPECT_EQ(source.requests[0].url, Url("2026-27"));
    EXPECT_LE(source.requests[1].timeoutMs, 20000);

    // Asked again with the validator it was given: 304, same table.
    source.requests.clear();
    got = AcquireOpenResults(&source, "eng", places_);
    EXPECT_EQ(got.from, OpenResultsOutcome::From::Source);
    ASSERT_EQ(source.requests.size(), 2u);
    EXPECT_EQ(source.requests[1].ifNoneMatch, "\"v1\"");
    EXPECT_EQ(Clubs(got), table);

    // Refused, then a broken file: the kept copy, with its own date.
    for (ScriptedSource::Answer broken : {ScriptedSource::Answer{0, "", "", true},
                                          ScriptedSource::Answer{200, "{\"matches\": [", "\"v2\""},
                                          ScriptedSource::Answer{503, "", ""}}) {
        ScriptedSource gone;
        gone.answers[Url("2026-27")] = broken;
        got = AcquireOpenResults(&gone, "eng", places_);
        EXPECT_EQ(got.from, OpenResultsOutcome::From::Cache) << got.problem;
        EXPECT_EQ(gone.requests.size(), 1u) << "a failed source is not asked again";
        EXPECT_EQ(Clubs(got), table);
        EXPECT_EQ(StatusTextFor(got, "eng", true), "Standings of 8 March 2026");
        EXPECT_NE(got.problem.find(Url("2026-27")), std::string::npos) << got.problem;
    }
    // Offline: no request at all, the kept copy still.
    got = AcquireOpenResults(nullptr, "eng", places_);
    EXPECT_EQ(got.from, OpenResultsOutcome::From::Cache);
    EXPECT_EQ(Clubs(got), table);
}

TEST_F(OpenResults, AKeptFilesLeftoverOfAKilledWriteGoesWithTheNextWrite) {
    ResultsCache cache(places_.cacheFolder);
    ASSERT_TRUE(cache.Store("2025-26", "en.1", {"\"v1\"", "", "{}"}));
    const fs::path killed = places_.cacheFolder / "2025-26_de.1.json.partial";
    const fs::path underWay = places_.cacheFolder / "2025-26_es.1.json.partial";
    for (const fs::path& p : {killed, underWay}) std::ofstream(p) << "\"v0\"\n\n{\"matc";
    fs::last_write_time(killed, fs::file_time_type::clock::now() - std::chrono::hours(1));

    ASSERT_TRUE(cache.Store("2025-26", "en.1", {"\"v2\"", "", "{}"}));
    EXPECT_FALSE(fs::exists(killed));
    EXPECT_TRUE(fs::exists(underWay)) << "a write of another saver, still under way";
    ResultsCache::Entry kept;
    ASSERT_TRUE(cache.Load("2025-26", "en.1", kept));
    EXPECT_EQ(kept.etag, "\"v2\"");
}

TEST_F(OpenResults, ANewSeasonWithoutGamesYieldsToTheLastOneAndTheSnapshotIsTheLastResort) {
    ScriptedSource source;
    source.answers[Url("2026-27")] = {200, Season("2026-08-15", false), ""};
    source.answers[Url("2025-26")] = {200, Season("2026-05-24"), ""};
    OpenResultsOutcome got = AcquireOpenResults(&source, "eng", places_);
    EXPECT_EQ(got.from, OpenResultsOutcome::From::Source);
    EXPECT_EQ(got.season, "2025-26");
    EXPECT_EQ(got.newestDate, "2026-05-24");

    // Nothing kept, the source down: the newest season of the installed
    // snapshot that has the league, however old.
    places_.cacheFolder.clear();
    places_.bundledFolder = root_ / "bundled";
    for (const char* season : {"2023-24", "2024-25", "2025-26", "notes"})
        fs::create_directories(places_.bundledFolder / season);
    std::ofstream(places_.bundledFolder / "2023-24" / "en.1.json") << Season("2024-05-19");
    std::ofstream(places_.bundledFolder / "2024-25" / "en.1.json") << Season("2025-05-25");
    std::ofstream(places_.bundledFolder / "2025-26" / "de.1.json") << Season("2026-03-01");
    ScriptedSource down;
    down.answers[Url("2026-27")].refuse = true;
    got = AcquireOpenResults(&down, "eng", places_);
    EXPECT_EQ(got.from, OpenResultsOutcome::From::Bundled);
    EXPECT_EQ(got.season, "2024-25");
    EXPECT_EQ(got.newestDate, "2025-05-25");
    EXPECT_EQ(got.rows.size(), 5u);

    // Nothing anywhere: the failure texts of the board.
    places_.bundledFolder.clear();
    got = AcquireOpenResults(&down, "eng", places_);
    EXPECT_EQ(got.from, OpenResultsOutcome::From::Nothing);
    EXPECT_TRUE(got.rows.empty());
    EXPECT_EQ(StatusTextFor(got, "eng", true), "Mistake of data acquisition.");
    EXPECT_EQ(StatusTextFor(got, "eng", false), "Not connected to the internet");
}

TEST_F(OpenResults, AnAssociationWithoutOpenResultsGetsNoTableAndNoRequest) {
    ScriptedSource source;
    const OpenResultsOutcome got = AcquireOpenResults(&source, "pol", places_);
    EXPECT_EQ(got.from, OpenResultsOutcome::From::NotCovered);
    EXPECT_TRUE(got.rows.empty());
    EXPECT_TRUE(source.requests.empty());
    EXPECT_EQ(StatusTextFor(got, "pol", true), "No open results for Poland");
}

}  // namespace
