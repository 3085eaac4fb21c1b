#pragma once
// Standings pages from public match results, shared by `scorvane publish`
// and `scorvane serve --results`: where the results come from, which season,
// the adjustments and display names, and the pages themselves.

#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "results/league_files.h"
#include "results/match_results.h"
#include "tools/league_site.h"
#include "tools/results_download.h"

class ToolArgs;

// The public football.json repository, file by file: where the results come
// from unless --results says otherwise.
extern const char kDefaultResultsSource[];

struct ResultsOptions {
    std::string source;  // a folder or an http(s) URL base
    std::string season;  // "" for the newest each league has
    std::vector<LeagueMapping> map = DefaultLeagueMap();
    std::string adjustFile;
    std::vector<SeasonAdjustment> adjustments;
    std::map<std::string, std::string> names;
    // Where a league the network source cannot give is read from instead:
    // the bundled snapshot, or "" for none. A folder source has none: a
    // file missing or broken there is the user's to see, not to paper over.
    std::string snapshot;
    bool IsUrl() const;
};

// The options text of --results, --season, --adjust, --names and --leagues.
extern const char kResultsOptionsHelp[];

// Reads those options and their files; without --results the source is
// kDefaultResultsSource.
bool ReadResultsOptions(const ToolArgs& args, ResultsOptions& options, std::string& error);

// The snapshot of the current season that comes with the tool, or "".
std::string BundledResultsFolder();

struct RealLeague {
    enum class From { Source, Cache, Snapshot };
    std::string code;
    std::string season;
    std::string origin;  // file or URL read; for a cached copy the URL it came from
    From from = From::Source;
    League league;  // its newestResult the date of the newest played match
    // The league's games in the file's order, with the names the table
    // shows (--names applied), UTF-8.
    std::vector<MatchResult> matches;
};

// The name the site gives a league: the results' own name for it, or a
// better one where that is awkward ("China | Super League 2025" is the
// Chinese Super League), never with its season. `league` is the file name
// ("cn.1"), `dataName` the file's "name".
std::string DisplayLeagueName(const std::string& league, const std::string& dataName);

// What the table of a league came from, for a line on stderr: "the copy
// cached earlier", "the bundled snapshot (FILE)", or the file or URL.
std::string DescribeOrigin(const RealLeague& league);

class ResultsReader {
public:
    enum class Status { Loaded, NoData, Failed };
    enum class Mode {
        Source,    // the source alone
        Fallback,  // the source; what a network source cannot give, from the cache, else the snapshot
        Offline,   // no request: a folder source, or the cache, else the snapshot
    };
    struct Read {
        Status status = Status::NoData;
        RealLeague league;  // when Loaded
        // Why the source gave no table, also when a fallback gave one: what
        // failed (Failed), or which files a network source does not have
        // (NoData); "" when a folder has no file for the league.
        std::string error;
    };
    // Leagues fetched at once over the network: enough to hide the round
    // trips, few enough to be a polite client of a public file host.
    static constexpr int kParallelReads = 4;

    explicit ResultsReader(ResultsOptions options, std::string cacheFolder = {});

    Read Load(const LeagueMapping& mapping, Mode mode);
    // Every league of the map, in its order. Over the network up to
    // kParallelReads at once, and once the source has not answered, the
    // leagues after are not asked for in the same call: each would only
    // wait its own way to the same fallback.
    std::vector<Read> LoadAll(Mode mode);

    const ResultsOptions& Options() const { return options_; }
    ResultsDownload& Download() { return download_; }

private:
    Read FromFolder(const LeagueMapping& m);
    Read FromUrl(const LeagueMapping& m);
    Read FromCacheOrSnapshot(const LeagueMapping& m);
    bool Build(const LeagueMapping& m, const std::string& json, RealLeague& out, std::string& error);

    const ResultsOptions options_;
    // The source is the football.json project's own, or the snapshot of it
    // that comes with the tool: its pages can name the project and its
    // licence.
    const bool openFootball_;
    ResultsDownload download_;
    std::unique_ptr<ResultsReader> snapshot_;
    std::mutex downMutex_;
    std::string down_;  // why the source did not answer in this LoadAll, or ""
};

// The site's front page: the associations with a table, with links to
// their pages, and the date of the newest result among them; then the others
// by name. `madeUp`: the others are served made-up leagues, linked, and the
// page says so.
std::string RenderIndexPage(const std::vector<RealLeague>& leagues, bool madeUp);

// An association's page (associations/association=CODE/index.html): its
// league, season, table and date, the next fixture, the source and licence.
std::string RenderAssociationPage(const RealLeague& league);

// The league's fixtures and results (.../nationalleague/fixtures.html): the
// games to come by round with their dates and kick-off times as the results
// give them, then the rounds played with their scores, the newest first.
std::string RenderFixturesPage(const RealLeague& league);

// Where `publish` writes, and `serve` answers, an association's page and a
// league's fixtures, from the site's root.
std::string AssociationPagePath(const std::string& code);
std::string FixturesPagePath(const std::string& code);
