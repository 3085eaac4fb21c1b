#pragma once
// Standings pages from public match results, shared by `scorvane publish`
// and `scorvane serve --results`: where the results come from, which season,
// the adjustments and display names, and the pages themselves.

#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "results/league_files.h"
#include "tools/league_site.h"
#include "tools/results_download.h"

class ToolArgs;

struct ResultsOptions {
    std::string source;  // a folder or an http(s) URL base
    std::string season;  // "" for the newest each league has
    std::vector<LeagueMapping> map = DefaultLeagueMap();
    std::string adjustFile;
    std::vector<SeasonAdjustment> adjustments;
    std::map<std::string, std::string> names;
    bool IsUrl() const;
};

// The options text of --results, --season, --adjust, --names and --leagues.
extern const char kResultsOptionsHelp[];

// Reads those options and their files; `source` falls back to `fallback`.
bool ReadResultsOptions(const ToolArgs& args, const std::string& fallback, ResultsOptions& options, std::string& error);

// The snapshot of the current season that comes with the tool, or "".
std::string BundledResultsFolder();

struct RealLeague {
    std::string code;
    std::string season;
    std::string origin;  // file or URL read
    League league;
};

class ResultsReader {
public:
    enum class Status { Loaded, NoData, Failed };
    explicit ResultsReader(const ResultsOptions& options, std::string cacheFolder = {});

    // One association's table. NoData when the source has no file for it;
    // Failed with `error` naming the file and what is wrong with it. With
    // `fallBack` a download that fails falls back to the cached copy, saying
    // so in `note`.
    Status Load(const LeagueMapping& mapping, RealLeague& out, std::string& error, std::string& note,
                bool fallBack = true);

    // The same from the copies cached by earlier downloads only, without a
    // request; a folder is read as by Load.
    Status LoadCached(const LeagueMapping& mapping, RealLeague& out, std::string& error);

    ResultsDownload& Download() { return download_; }

private:
    Status FromFolder(const LeagueMapping& m, RealLeague& out, std::string& error);
    Status FromUrl(const LeagueMapping& m, RealLeague& out, std::string& error, std::string& note, bool fallBack);
    bool Build(const LeagueMapping& m, const std::string& json, RealLeague& out, std::string& error);

    const ResultsOptions& options_;
    ResultsDownload download_;
};

// The page listing every published association, with links.
std::string RenderIndexPage(const std::vector<RealLeague>& leagues);
