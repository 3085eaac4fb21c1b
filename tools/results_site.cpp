#include "tools/results_site.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <ctime>
#include <filesystem>
#include <set>
#include <string_view>
#include <system_error>
#include <thread>

#include "app/association_table.h"
#include "app/profile.h"
#include "results/open_results.h"
#include "app/latin1.h"
#include "app/startup.h"
#include "results/match_results.h"
#include "tools/tool_util.h"

// Spelled out for the help text that quotes it; the savers' default is the
// one truth.
#define SCORVANE_DEFAULT_RESULTS "https://raw.githubusercontent.com/openfootball/football.json/master"
static_assert(std::string_view(SCORVANE_DEFAULT_RESULTS) == kDefaultResults);

const char kDefaultResultsSource[] = SCORVANE_DEFAULT_RESULTS;

const char kResultsOptionsHelp[] =
    "  --results SRC   match results in the football.json format: a folder\n"
    "                  (SRC/SEASON/LEAGUE.json, e.g. SRC/2023-24/en.1.json)\n"
    "                  or an http(s) URL base read the same way; default the\n"
    "                  public repository,\n"
    "                  " SCORVANE_DEFAULT_RESULTS "\n"
    "                  A league the network cannot give (unreachable, 4xx,\n"
    "                  5xx, a broken file) comes from the copy cached earlier,\n"
    "                  else from the snapshot that comes with the tool, and\n"
    "                  stderr says which\n"
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

// Over the network the folders cannot be listed: the season under way and
// the one before, by the league's calendar, as the savers ask.
std::vector<std::string> LikelySeasons(const LeagueMapping& m) { return SeasonFoldersToTry(m.league, LocalToday()); }

std::string Signed(int n) { return n > 0 ? "+" + std::to_string(n) : std::to_string(n); }

}  // namespace

bool ResultsOptions::IsUrl() const {
    return source.compare(0, 7, "http://") == 0 || source.compare(0, 8, "https://") == 0;
}

bool ReadResultsOptions(const ToolArgs& args, ResultsOptions& o, std::string& error) {
    o.source = args.Value("--results", kDefaultResultsSource);
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
    if (o.IsUrl()) o.snapshot = BundledResultsFolder();
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

std::string DescribeOrigin(const RealLeague& league) {
    switch (league.from) {
        case RealLeague::From::Cache: return "the copy of " + league.origin + " cached earlier";
        case RealLeague::From::Snapshot: return "the bundled snapshot (" + league.origin + ")";
        case RealLeague::From::Source: break;
    }
    return league.origin;
}

ResultsReader::ResultsReader(ResultsOptions options, std::string cacheFolder)
    : options_(std::move(options)), download_(std::move(cacheFolder)) {
    if (options_.IsUrl() && !options_.snapshot.empty()) {
        ResultsOptions local = options_;
        local.source = options_.snapshot;
        local.snapshot.clear();
        snapshot_ = std::make_unique<ResultsReader>(std::move(local), download_.CacheFolder());
    }
}

ResultsReader::Read ResultsReader::Load(const LeagueMapping& m, Mode mode) {
    Read read;
    if (!options_.IsUrl()) {
        read = FromFolder(m);
    } else if (mode == Mode::Offline) {
        read = FromCacheOrSnapshot(m);
    } else {
        read = FromUrl(m);
        if (read.status != Status::Loaded && mode == Mode::Fallback) {
            Read fallback = FromCacheOrSnapshot(m);
            if (fallback.status == Status::Loaded) {
                fallback.error = std::move(read.error);
                read = std::move(fallback);
            }
        }
    }
    read.league.code = m.code;
    return read;
}

std::vector<ResultsReader::Read> ResultsReader::LoadAll(Mode mode) {
    {
        std::lock_guard<std::mutex> lock(downMutex_);
        down_.clear();
    }
    const std::vector<LeagueMapping>& map = options_.map;
    std::vector<Read> reads(map.size());
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (std::size_t i; (i = next++) < map.size();) reads[i] = Load(map[i], mode);
    };
    const bool network = options_.IsUrl() && mode != Mode::Offline;
    const std::size_t helpers = network ? std::min<std::size_t>(kParallelReads, map.size()) - 1 : 0;
    std::vector<std::thread> threads;
    for (std::size_t h = 0; h < helpers; ++h) {
        try {
            threads.emplace_back(work);
        } catch (const std::system_error&) {
            break;  // fewer at once, the same leagues
        }
    }
    work();
    for (std::thread& t : threads) t.join();
    return reads;
}

ResultsReader::Read ResultsReader::FromCacheOrSnapshot(const LeagueMapping& m) {
    const std::vector<std::string> seasons =
        options_.season.empty() ? LikelySeasons(m) : std::vector<std::string>{options_.season};
    Read read;
    for (const std::string& season : seasons) {
        RealLeague league;
        league.code = m.code;
        league.season = season;
        league.origin = options_.source + "/" + season + "/" + m.league + ".json";
        league.from = RealLeague::From::Cache;
        std::string cached, ignored;
        if (download_.Cached(league.origin, cached) && Build(m, cached, league, ignored)) {
            read.status = Status::Loaded;
            read.league = std::move(league);
            return read;
        }
    }
    if (snapshot_ == nullptr) return read;
    read = snapshot_->FromFolder(m);
    read.league.from = RealLeague::From::Snapshot;
    return read;
}

ResultsReader::Read ResultsReader::FromFolder(const LeagueMapping& m) {
    Read read;
    std::vector<std::string> seasons = options_.season.empty() ? SeasonFolders(options_.source)
                                                               : std::vector<std::string>{options_.season};
    for (const std::string& season : seasons) {
        const std::string file = options_.source + "/" + season + "/" + m.league + ".json";
        if (!IsFile(file)) continue;
        read.status = Status::Failed;
        struct stat st;
        if (stat(file.c_str(), &st) == 0 && static_cast<std::size_t>(st.st_size) > kMaxResultsBytes) {
            read.error = file + ": larger than " + std::to_string(kMaxResultsBytes / (1024 * 1024)) + " MiB";
            return read;
        }
        std::string json;
        if (!ReadInput(file, json, read.error)) return read;
        RealLeague& league = read.league;
        league.code = m.code;
        league.season = season;
        league.origin = file;
        if (!Build(m, json, league, read.error)) return read;
        read.status = Status::Loaded;
        return read;
    }
    return read;
}

ResultsReader::Read ResultsReader::FromUrl(const LeagueMapping& m) {
    const std::vector<std::string> seasons =
        options_.season.empty() ? LikelySeasons(m) : std::vector<std::string>{options_.season};
    Read read;
    for (const std::string& season : seasons) {
        const std::string url = options_.source + "/" + season + "/" + m.league + ".json";
        {
            std::lock_guard<std::mutex> lock(downMutex_);
            if (!down_.empty()) {
                read.status = Status::Failed;
                read.error = url + ": not asked, as the source failed a moment ago: " + down_;
                return read;
            }
        }
        RealLeague league;
        league.code = m.code;
        league.season = season;
        league.origin = url;
        std::string body, problem, buildError;
        const auto outcome = download_.Get(url, body, problem, [&](const std::string& candidate) {
            RealLeague trial = league;
            return Build(m, candidate, trial, buildError);
        });
        if (outcome == ResultsDownload::Outcome::Missing) continue;
        if (outcome == ResultsDownload::Outcome::Unavailable) {
            std::lock_guard<std::mutex> lock(downMutex_);
            if (down_.empty()) down_ = problem;
        }
        // A source that fails on the newest season says nothing of the
        // older ones: the league goes to its fallback, not a season back.
        if (outcome == ResultsDownload::Outcome::Unavailable || outcome == ResultsDownload::Outcome::Failed) {
            read.status = Status::Failed;
            read.error = buildError.empty() ? url + ": " + problem : buildError;
            return read;
        }
        read.status = Build(m, body, league, read.error) ? Status::Loaded : Status::Failed;
        read.league = std::move(league);
        return read;
    }
    read.error = options_.source + " has no " + m.league + ".json for ";
    for (std::size_t i = 0; i < seasons.size(); ++i)
        read.error += (i == 0 ? "" : i + 1 == seasons.size() ? " or " : ", ") + seasons[i];
    return read;
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
    league.newestResult = NewestPlayedDate(results);
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

std::string RenderIndexPage(const std::vector<RealLeague>& leagues, bool madeUp) {
    std::string newest;
    std::set<std::string> covered;
    for (const RealLeague& l : leagues) {
        newest = std::max(newest, l.league.newestResult);
        covered.insert(l.code);
    }
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
    if (!newest.empty()) line("<p class=\"results-date\">Newest result: " + newest + "</p>");
    line("<h2>With results</h2>");
    line("<ul>");
    for (const RealLeague& l : leagues) {
        line("<li><a href=\"" + StandingsPagePath(l.code).substr(1) + "\">" +
             EncodePageText(l.league.association) + "</a> &middot; " + EncodePageText(l.league.competition) +
             " (" + l.code + ", " + std::to_string(l.league.teams.size()) + " clubs" +
             (l.league.newestResult.empty() ? std::string() : ", newest result " + l.league.newestResult) + ")</li>");
    }
    line("</ul>");
    line("<h2>Without results</h2>");
    line(madeUp ? "<p>The results have no league of these associations; made-up leagues stand in for them, for "
                  "demonstrations only.</p>"
                : "<p>The results have no league of these associations, so there is no table of them.</p>");
    line("<ul class=\"uncovered\">");
    for (const AssociationEntry* a = AssociationTable; a->code != nullptr; ++a) {
        if (covered.count(a->code) == 0) line("<li>" + EncodePageText(a->name) + "</li>");
    }
    line("</ul>");
    line("<p>Tables computed from public-domain match results (football.json).</p>");
    line("</body>");
    line("</html>");
    return p;
}
