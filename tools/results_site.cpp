#include "tools/results_site.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <ctime>
#include <filesystem>

#include "app/association_table.h"
#include "results/latin1_text.h"
#include "results/match_results.h"
#include "tools/tool_util.h"

const char kResultsOptionsHelp[] =
    "  --results SRC   match results in the football.json format: a folder\n"
    "                  (SRC/SEASON/LEAGUE.json, e.g. SRC/2023-24/en.1.json)\n"
    "                  or an http(s) URL base read the same way\n"
    "  --season S      the season folder to read, e.g. 2023-24 or 2025\n"
    "                  (default: the newest each league has)\n"
    "  --adjust FILE   point adjustments, one a line:\n"
    "                  code,season,team,points,note (# starts a comment)\n"
    "  --names FILE    shorter names for the board: team,display name\n"
    "  --leagues FILE  association codes to league files, code,league a\n"
    "                  line, over the built-in map (eng,en.1 ...); code,\n"
    "                  alone takes a code out\n";

namespace {

bool IsFolder(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsFile(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Season folders, newest first; a calendar year counts as the season that
// starts in it.
std::vector<std::string> SeasonFolders(const std::string& source) {
    std::vector<std::string> seasons;
    if (DIR* d = opendir(source.c_str())) {
        while (dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (SeasonStartYear(name) >= 0 && IsFolder(source + "/" + name)) seasons.push_back(name);
        }
        closedir(d);
    }
    std::sort(seasons.begin(), seasons.end(), [](const std::string& a, const std::string& b) {
        const int ya = SeasonStartYear(a), yb = SeasonStartYear(b);
        return ya != yb ? ya > yb : a.size() > b.size();
    });
    return seasons;
}

// Over the network the folders cannot be listed: the seasons around today.
std::vector<std::string> LikelySeasons() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    const int year = tm.tm_year + 1900;
    auto split = [](int y) {
        char text[16];
        std::snprintf(text, sizeof text, "%d-%02d", y, (y + 1) % 100);
        return std::string(text);
    };
    return {split(year), std::to_string(year), split(year - 1), std::to_string(year - 1)};
}

std::string Signed(int n) { return n > 0 ? "+" + std::to_string(n) : std::to_string(n); }

}  // namespace

bool ResultsOptions::IsUrl() const {
    return source.compare(0, 7, "http://") == 0 || source.compare(0, 8, "https://") == 0;
}

bool ReadResultsOptions(const ToolArgs& args, const std::string& fallback, ResultsOptions& o, std::string& error) {
    o.source = args.Value("--results", fallback);
    while (o.source.size() > 1 && o.source.back() == '/') o.source.pop_back();
    if (o.source.empty()) {
        error = "no results: give --results";
        return false;
    }
    if (!o.IsUrl() && o.source.find("://") != std::string::npos) {
        error = "results '" + o.source + "': only http and https addresses can be read";
        return false;
    }
    if (!o.IsUrl() && !IsFolder(o.source)) {
        error = "results folder '" + o.source + "' is not a readable folder";
        return false;
    }
    o.season = args.Value("--season");
    if (args.Has("--season") && SeasonStartYear(o.season) < 0) {
        error = "season '" + o.season + "' is not a season such as 2023-24 or 2025";
        return false;
    }
    auto readText = [&error](const std::string& option, const std::string& file, std::string& text) {
        if (!ReadInput(file, text, error) || file.empty() || file == "-") {
            error = option + ": " + (file.empty() || file == "-" ? "a file name is needed" : error);
            return false;
        }
        return true;
    };
    std::string text, problem;
    if (args.Has("--leagues")) {
        const std::string file = args.Value("--leagues");
        if (!readText("--leagues", file, text)) return false;
        if (!ParseLeagueMap(text, o.map, problem)) {
            error = file + ": " + problem;
            return false;
        }
    }
    if (args.Has("--adjust")) {
        o.adjustFile = args.Value("--adjust");
        if (!readText("--adjust", o.adjustFile, text)) return false;
        if (!ParseAdjustments(text, o.adjustments, problem)) {
            error = o.adjustFile + ": " + problem;
            return false;
        }
    }
    if (args.Has("--names")) {
        const std::string file = args.Value("--names");
        if (!readText("--names", file, text)) return false;
        if (!ParseDisplayNames(text, o.names, problem)) {
            error = file + ": " + problem;
            return false;
        }
    }
    return true;
}

std::string BundledResultsFolder() {
    // Beside the program first, so that an unpacked or relocated install
    // reads its own snapshot and not one of another install or the sources.
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const std::string beside = (self.parent_path().parent_path() / "share/scorvane/football.json").string();
        if (IsFolder(beside)) return beside;
    }
    for (const char* folder : {SCORVANE_INSTALLED_RESULTS, SCORVANE_SOURCE_RESULTS}) {
        if (IsFolder(folder)) return folder;
    }
    return {};
}

ResultsReader::ResultsReader(const ResultsOptions& options, std::string cacheFolder)
    : options_(options), download_(std::move(cacheFolder)) {}

ResultsReader::Status ResultsReader::Load(const LeagueMapping& m, RealLeague& out, std::string& error,
                                          std::string& note, bool fallBack) {
    out = RealLeague{};
    out.code = m.code;
    return options_.IsUrl() ? FromUrl(m, out, error, note, fallBack) : FromFolder(m, out, error);
}

ResultsReader::Status ResultsReader::LoadCached(const LeagueMapping& m, RealLeague& out, std::string& error) {
    out = RealLeague{};
    out.code = m.code;
    if (!options_.IsUrl()) return FromFolder(m, out, error);
    const std::vector<std::string> seasons =
        options_.season.empty() ? LikelySeasons() : std::vector<std::string>{options_.season};
    for (const std::string& season : seasons) {
        const std::string url = options_.source + "/" + season + "/" + m.league + ".json";
        std::string cached;
        out.season = season;
        out.origin = url;
        if (download_.Cached(url, cached) && Build(m, cached, out, error)) return Status::Loaded;
    }
    return Status::NoData;
}

ResultsReader::Status ResultsReader::FromFolder(const LeagueMapping& m, RealLeague& out, std::string& error) {
    std::vector<std::string> seasons = options_.season.empty() ? SeasonFolders(options_.source)
                                                               : std::vector<std::string>{options_.season};
    for (const std::string& season : seasons) {
        const std::string file = options_.source + "/" + season + "/" + m.league + ".json";
        if (!IsFile(file)) continue;
        struct stat st;
        if (stat(file.c_str(), &st) == 0 && static_cast<std::size_t>(st.st_size) > kMaxResultsBytes) {
            error = file + ": larger than " + std::to_string(kMaxResultsBytes / (1024 * 1024)) + " MiB";
            return Status::Failed;
        }
        std::string json;
        if (!ReadInput(file, json, error)) return Status::Failed;
        out.season = season;
        out.origin = file;
        if (!Build(m, json, out, error)) return Status::Failed;
        return Status::Loaded;
    }
    return Status::NoData;
}

ResultsReader::Status ResultsReader::FromUrl(const LeagueMapping& m, RealLeague& out, std::string& error,
                                             std::string& note, bool fallBack) {
    const std::vector<std::string> seasons =
        options_.season.empty() ? LikelySeasons() : std::vector<std::string>{options_.season};
    std::string firstFailure;
    for (const std::string& season : seasons) {
        const std::string url = options_.source + "/" + season + "/" + m.league + ".json";
        out.season = season;
        out.origin = url;
        std::string body, problem, buildError;
        const auto outcome = download_.Get(url, body, problem, [&](const std::string& candidate) {
            RealLeague trial = out;
            return Build(m, candidate, trial, buildError);
        });
        if (outcome == ResultsDownload::Outcome::Missing) continue;
        if (outcome == ResultsDownload::Outcome::Failed) {
            if (firstFailure.empty()) firstFailure = buildError.empty() ? url + ": " + problem : buildError;
            std::string cached;
            if (fallBack && download_.Cached(url, cached) && Build(m, cached, out, buildError)) {
                note = firstFailure + "; using the copy cached earlier";
                return Status::Loaded;
            }
            continue;
        }
        if (!Build(m, body, out, error)) return Status::Failed;
        return Status::Loaded;
    }
    if (!firstFailure.empty()) {
        error = firstFailure;
        return Status::Failed;
    }
    return Status::NoData;
}

bool ResultsReader::Build(const LeagueMapping& m, const std::string& json, RealLeague& out, std::string& error) {
    SeasonResults results;
    if (!ParseSeasonResults(json, results, error)) {
        error = out.origin + ": " + error;
        return false;
    }
    std::vector<PointAdjustment> adjustments;
    for (const SeasonAdjustment& a : options_.adjustments) {
        if (a.code != m.code || a.season != out.season) continue;
        if (std::find(results.teams.begin(), results.teams.end(), a.adjustment.team) == results.teams.end()) {
            error = options_.adjustFile + ": line " + std::to_string(a.line) + ": no team \"" + a.adjustment.team +
                    "\" in " + out.origin;
            return false;
        }
        adjustments.push_back(a.adjustment);
    }
    std::vector<TableRow> rows;
    if (!ComputeTable(results, RulesForLeague(m.league), adjustments, rows, error)) {
        error = out.origin + ": " + error;
        return false;
    }

    League& league = out.league;
    league = League{};
    league.code = m.code;
    league.association = AssociationNameForCode(m.code.c_str());
    league.competition = TransliterateToLatin1(results.name.empty() ? m.league + " " + out.season : results.name);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const TableRow& r = rows[i];
        const auto shown = options_.names.find(r.team);
        LeagueTeam team;
        team.position = std::to_string(i + 1) + ".";
        team.name = TransliterateToLatin1(shown == options_.names.end() ? r.team : shown->second);
        team.figures = {std::to_string(r.played),  std::to_string(r.won),          std::to_string(r.drawn),
                        std::to_string(r.lost),    std::to_string(r.goalsFor),     std::to_string(r.goalsAgainst),
                        Signed(r.GoalDifference()), std::to_string(r.points)};
        league.matchday = std::max(league.matchday, r.played);
        league.teams.push_back(team);
    }
    return true;
}

std::string RenderIndexPage(const std::vector<RealLeague>& leagues) {
    std::string p;
    auto line = [&p](const std::string& text) {
        p += text;
        p += "\r\n";
    };
    p += PageStart();
    line("<title>National leagues - Standings</title>");
    line("</head>");
    line("<body>");
    line("<h1>National leagues</h1>");
    line("<ul>");
    for (const RealLeague& l : leagues) {
        line("<li><a href=\"associations/association=" + l.code + "/nationalleague/standings.html\">" +
             EncodePageText(l.league.association) + "</a> &middot; " + EncodePageText(l.league.competition) +
             " (" + l.code + ", " + std::to_string(l.league.teams.size()) + " clubs)</li>");
    }
    line("</ul>");
    line("<p>Tables computed from public-domain match results (football.json).</p>");
    line("</body>");
    line("</html>");
    return p;
}
