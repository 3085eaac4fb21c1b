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
#include "platform/posix/user_folders.h"
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

bool SameFolder(const std::string& a, const std::string& b) {
    std::error_code ec;
    return !a.empty() && !b.empty() && std::filesystem::equivalent(a, b, ec) && !ec;
}

// The names the results give some leagues are the file's title rather than
// the league's ("Japan | J1 League", "Österr. Bundesliga"); the site names
// every league of the built-in map the way English speakers know it.
struct LeagueName {
    const char* league;
    const char* name;  // UTF-8
};
const LeagueName kLeagueNames[] = {
    {"en.1", "English Premier League"},    {"de.1", "German Bundesliga"},
    {"es.1", "Spanish La Liga"},           {"it.1", "Italian Serie A"},
    {"fr.1", "French Ligue 1"},            {"nl.1", "Dutch Eredivisie"},
    {"pt.1", "Portuguese Primeira Liga"},  {"at.1", "Austrian Bundesliga"},
    {"be.1", "Belgian Pro League"},        {"sco.1", "Scottish Premiership"},
    {"tr.1", "Turkish Süper Lig"},     {"gr.1", "Greek Super League"},
    {"mx.1", "Mexican Liga MX"},           {"au.1", "Australian A-League Men"},
    {"eg.1", "Egyptian Premier League"},   {"dz.1", "Algerian Ligue Professionnelle 1"},
    {"ma.1", "Moroccan Botola Pro"},       {"br.1", "Brazilian Série A"},
    {"ar.1", "Argentine Primera División"}, {"cn.1", "Chinese Super League"},
    {"jp.1", "Japanese J1 League"},        {"co.1", "Colombian Primera A"},
    {"mls", "Major League Soccer"},
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// "2025/26" for the folder "2025-26".
std::string ShownSeason(std::string season) {
    std::replace(season.begin(), season.end(), '-', '/');
    return season;
}

}  // namespace

std::string DisplayLeagueName(const std::string& league, const std::string& dataName) {
    for (const LeagueName& n : kLeagueNames) {
        if (league == n.league) return n.name;
    }
    // Another league: its own name, without the season at its end ("2025",
    // "2025/26", "2025-2026") and without the title's separators.
    std::string name = dataName;
    for (;;) {
        std::size_t end = name.size();
        while (end > 0 && name[end - 1] == ' ') --end;
        std::size_t start = end;
        while (start > 0 && (IsDigit(name[start - 1]) || name[start - 1] == '/' || name[start - 1] == '-')) --start;
        const std::string tail = name.substr(start, end - start);
        if (tail.size() < 4 || !IsDigit(tail[0]) || !IsDigit(tail[3]) || (start > 0 && name[start - 1] != ' ')) {
            name.resize(end);
            break;
        }
        name.resize(start);
    }
    for (std::size_t bar; (bar = name.find(" | ")) != std::string::npos;) name.replace(bar, 3, " ");
    while (!name.empty() && (name.back() == ' ' || name.back() == '|')) name.pop_back();
    return name.empty() ? league : name;
}

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
    return InstalledDataFolder("../share/scorvane/football.json", {SCORVANE_INSTALLED_RESULTS, SCORVANE_SOURCE_RESULTS})
        .string();
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
    : options_(std::move(options)),
      openFootball_(options_.source == kDefaultResultsSource || SameFolder(options_.source, BundledResultsFolder())),
      download_(std::move(cacheFolder)) {
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

    auto shownName = [this](const std::string& team) {
        const auto shown = options_.names.find(team);
        return shown == options_.names.end() ? team : shown->second;
    };
    League& league = out.league;
    league = League{};
    league.source = openFootball_ ? League::Source::OpenFootball : League::Source::OtherResults;
    league.code = m.code;
    league.association = AssociationNameForCode(m.code.c_str());
    league.competition = TransliterateToLatin1(DisplayLeagueName(m.league, results.name));
    league.season = ShownSeason(out.season);
    league.newestResult = NewestPlayedDate(results);
    for (const PointAdjustment& a : adjustments) {
        league.notes.push_back(TransliterateToLatin1("Point adjustment: " + shownName(a.team) + " " + Signed(a.points) +
                                                     (a.note.empty() ? std::string() : " (" + a.note + ")")));
    }
    out.matches = std::move(results.matches);
    for (MatchResult& match : out.matches) {
        match.home = shownName(match.home);
        match.away = shownName(match.away);
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const TableRow& r = rows[i];
        LeagueTeam team;
        team.position = std::to_string(i + 1) + ".";
        team.name = TransliterateToLatin1(shownName(r.team));
        team.figures = {std::to_string(r.played),  std::to_string(r.won),          std::to_string(r.drawn),
                        std::to_string(r.lost),    std::to_string(r.goalsFor),     std::to_string(r.goalsAgainst),
                        Signed(r.GoalDifference()), std::to_string(r.points)};
        league.matchday = std::max(league.matchday, r.played);
        league.teams.push_back(team);
    }
    return true;
}

std::string AssociationPagePath(const std::string& code) { return "/" + AssociationFolder(code) + "index.html"; }

std::string FixturesPagePath(const std::string& code) {
    return "/" + AssociationFolder(code) + "nationalleague/fixtures.html";
}

namespace {

// "Sat 14 Mar 2026" in a time element for "2026-03-14", the weekday and the
// year apart for a narrow screen to leave out; "date not given" for none.
std::string ShownDate(const std::string& iso) {
    if (iso.size() != 10) return "date not given";
    const int y = std::stoi(iso.substr(0, 4)), m = std::stoi(iso.substr(5, 2)), d = std::stoi(iso.substr(8, 2));
    // Days since 1970-01-01 of the proleptic Gregorian calendar, for the weekday.
    const int ya = y - (m <= 2 ? 1 : 0);
    const int era = (ya >= 0 ? ya : ya - 399) / 400;
    const int yoe = ya - era * 400;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long days = era * 146097L + (yoe * 365 + yoe / 4 - yoe / 100 + doy) - 719468L;
    static const char* const kDays[7] = {"Thu", "Fri", "Sat", "Sun", "Mon", "Tue", "Wed"};
    static const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    return "<time datetime=\"" + iso + "\"><span class=\"weekday\">" + kDays[((days % 7) + 7) % 7] + " </span>" +
           std::to_string(d) + " " +
           kMonths[m - 1] + "<span class=\"year\"> " + iso.substr(0, 4) + "</span></time>";
}

std::string Text(const std::string& utf8) { return EncodePageText(TransliterateToLatin1(utf8)); }

void Line(std::string& p, const std::string& text) {
    p += text;
    p += "\r\n";
}

// The facts of a league shared by the front page and its own page.
std::string Summary(const League& l) {
    std::string s = EncodePageText(l.competition);
    if (!l.season.empty()) s += " &middot; " + EncodePageText(l.season);
    s += " &middot; " + std::to_string(l.teams.size()) + " clubs";
    return s;
}

// Games grouped by round in the file's order of rounds; `played` picks
// results or fixtures.
struct Round {
    std::string name;
    std::vector<const MatchResult*> matches;
    std::string first, last;  // dates of its games, "" when none is known
};

std::vector<Round> Rounds(const std::vector<MatchResult>& matches, bool played) {
    std::vector<Round> rounds;
    for (const MatchResult& m : matches) {
        if (m.played != played) continue;
        auto r = std::find_if(rounds.begin(), rounds.end(), [&m](const Round& x) { return x.name == m.round; });
        if (r == rounds.end()) r = rounds.insert(rounds.end(), Round{m.round, {}, {}, {}});
        r->matches.push_back(&m);
        if (!m.date.empty() && (r->first.empty() || m.date < r->first)) r->first = m.date;
        if (m.date > r->last) r->last = m.date;
    }
    for (Round& r : rounds) {
        std::stable_sort(r.matches.begin(), r.matches.end(), [](const MatchResult* a, const MatchResult* b) {
            // Games without a date after those with one.
            if (a->date.empty() != b->date.empty()) return b->date.empty();
            return a->date != b->date ? a->date < b->date : a->time < b->time;
        });
    }
    return rounds;
}

std::string MatchTable(const Round& round, bool played, const std::string& newest) {
    std::string p;
    Line(p, "<div class=\"table-scroll\">");
    Line(p, "<table class=\"matches\">");
    Line(p, "<caption>" + (round.name.empty() ? std::string("Games without a round") : Text(round.name)) + "</caption>");
    Line(p, std::string("<thead><tr><th class=\"date\" scope=\"col\">Date</th>") +
                (played ? "" : "<th class=\"time\" scope=\"col\">Kick-off</th>") +
                "<th class=\"home\" scope=\"col\">Home</th><th class=\"score\" scope=\"col\">" +
                (played ? "Score" : "<abbr title=\"versus\">v</abbr>") +
                "</th><th class=\"away\" scope=\"col\">Away</th></tr></thead>");
    Line(p, "<tbody>");
    for (const MatchResult* m : round.matches) {
        std::string score;
        if (played) {
            score = std::to_string(m->homeGoals) + "&ndash;" + std::to_string(m->awayGoals);
        } else {
            // A game whose date has passed without a result says so; the
            // results name the reason when they know it.
            std::string state = m->status;
            if (state.empty() && !m->date.empty() && !newest.empty() && m->date < newest) state = "no result yet";
            score = "&ndash;" + (state.empty() ? std::string() : "<span class=\"state\">" + Text(state) + "</span>");
        }
        Line(p, "<tr><td class=\"date\">" + ShownDate(m->date) + "</td>" +
                    (played ? std::string() : "<td class=\"time\">" + (m->time.empty() ? "not given" : m->time) + "</td>") +
                    "<td class=\"home\">" + Text(m->home) + "</td><td class=\"score\">" + score +
                    "</td><td class=\"away\">" + Text(m->away) + "</td></tr>");
    }
    Line(p, "</tbody>");
    Line(p, "</table>");
    Line(p, "</div>");
    return p;
}

}  // namespace

std::string RenderIndexPage(const std::vector<RealLeague>& leagues, bool madeUp) {
    std::string newest;
    std::set<std::string> covered;
    bool allOpenFootball = true;
    for (const RealLeague& l : leagues) {
        newest = std::max(newest, l.league.newestResult);
        covered.insert(l.code);
        allOpenFootball = allOpenFootball && l.league.source == League::Source::OpenFootball;
    }
    std::string p = PageStart("National leagues - Standings", "");
    Line(p, "<main id=\"content\" class=\"wrap\">");
    Line(p, "<h1>National leagues</h1>");
    if (leagues.empty())
        Line(p, "<p class=\"lead\">No league's match results have been read yet.</p>");
    else
        Line(p, "<p class=\"lead\">The tables of " + std::to_string(leagues.size()) +
                    (leagues.size() == 1 ? " national league" : " national leagues") +
                    ", computed from their match results, with every game played and to come.</p>");
    if (!newest.empty()) Line(p, "<p class=\"results-date\">Newest result: " + newest + "</p>");
    Line(p, "<h2>With results</h2>");
    if (leagues.empty()) Line(p, "<p>The results have no league of any association yet.</p>");
    else Line(p, "<ul class=\"leagues\">");
    for (const RealLeague& l : leagues) {
        const std::string folder = AssociationFolder(l.code);
        Line(p, "<li><h3><a href=\"" + folder + "index.html\">" + EncodePageText(l.league.association) + "</a></h3>");
        Line(p, "<p>" + Summary(l.league) +
                    (l.league.newestResult.empty() ? std::string() : " &middot; newest result " + l.league.newestResult) +
                    "</p>");
        Line(p, "<p class=\"links\"><a href=\"" + StandingsPagePath(l.code).substr(1) + "\">Standings</a> <a href=\"" +
                    FixturesPagePath(l.code).substr(1) + "\">Fixtures &amp; results</a></p></li>");
    }
    if (!leagues.empty()) Line(p, "</ul>");
    Line(p, "<h2>Without results</h2>");
    Line(p, madeUp ? "<p>The results have no league of these associations; made-up leagues stand in for them, for "
                     "demonstrations only.</p>"
                   : "<p>The results have no league of these associations, so there is no table of them.</p>");
    Line(p, "<ul class=\"uncovered\">");
    for (const AssociationEntry* a = AssociationTable; a->code != nullptr; ++a) {
        if (covered.count(a->code) != 0) continue;
        const std::string name = EncodePageText(a->name);
        Line(p, madeUp ? "<li><a href=\"" + StandingsPagePath(a->code).substr(1) + "\">" + name + "</a></li>"
                       : "<li>" + name + "</li>");
    }
    Line(p, "</ul>");
    Line(p, "</main>");
    p += PageEnd(SourceNote(allOpenFootball ? League::Source::OpenFootball : League::Source::OtherResults) +
                 (madeUp ? " The leagues of the associations without results are made up." : ""));
    return p;
}

std::string RenderAssociationPage(const RealLeague& real) {
    const League& l = real.league;
    const std::string assoc = EncodePageText(l.association);
    std::string p = PageStart(assoc + " - National league", "../../");
    Line(p, "<main id=\"content\" class=\"wrap\">");
    p += LeagueCrumbs(l, "association");
    Line(p, "<h1>" + assoc + "</h1>");
    Line(p, "<p class=\"lead\">National league: " + EncodePageText(l.competition) + "</p>");
    p += LeagueTabs(l, "association");
    Line(p, "<dl class=\"facts\">");
    Line(p, "<dt>League</dt><dd>" + EncodePageText(l.competition) + "</dd>");
    if (!l.season.empty()) Line(p, "<dt>Season</dt><dd>" + EncodePageText(l.season) + "</dd>");
    std::string table = "<a href=\"nationalleague/standings.html\">Standings" +
                        (l.matchday > 0 ? " after matchday " + std::to_string(l.matchday) : std::string()) + "</a>, " +
                        std::to_string(l.teams.size()) + " clubs";
    if (!l.teams.empty())
        table += "; top: " + EncodePageText(l.teams[0].name) + ", " + EncodePageText(l.teams[0].figures[7]) + " points";
    Line(p, "<dt>Table</dt><dd>" + table + "</dd>");
    Line(p, "<dt>Newest result</dt><dd>" + (l.newestResult.empty() ? std::string("none yet") : ShownDate(l.newestResult)) +
                "</dd>");
    std::size_t played = 0;
    const MatchResult* next = nullptr;
    for (const MatchResult& m : real.matches) {
        if (m.played) ++played;
        else if (!m.date.empty() && m.date >= l.newestResult && (next == nullptr || m.date < next->date ||
                                                                  (m.date == next->date && m.time < next->time)))
            next = &m;
    }
    if (next != nullptr)
        Line(p, "<dt>Next game</dt><dd>" + ShownDate(next->date) + (next->time.empty() ? "" : ", " + next->time) + ": " +
                    Text(next->home) + " &ndash; " + Text(next->away) + "</dd>");
    Line(p, "<dt>Games</dt><dd><a href=\"nationalleague/fixtures.html\">" + std::to_string(played) + " played, " +
                std::to_string(real.matches.size() - played) + " to come</a></dd>");
    const std::string file = EncodePageText(real.season + "/" + real.origin.substr(real.origin.rfind('/') + 1));
    if (l.source == League::Source::OpenFootball) {
        Line(p, "<dt>Source</dt><dd>The match results of the <a href=\"https://github.com/openfootball/football.json\">"
                "openfootball football.json</a> project, file " + file + "</dd>");
        Line(p, "<dt>Licence</dt><dd>Public domain: <a href=\"https://creativecommons.org/publicdomain/zero/1.0/\">"
                "CC0 1.0</a></dd>");
    } else {
        Line(p, "<dt>Source</dt><dd>Match results in the football.json format, file " + file + "</dd>");
    }
    Line(p, "</dl>");
    Line(p, "</main>");
    p += PageEnd(SourceNote(l.source));
    return p;
}

std::string RenderFixturesPage(const RealLeague& real) {
    const League& l = real.league;
    const std::string heading = EncodePageText(l.competition);
    std::string p = PageStart(heading + " - Fixtures &amp; results", "../../../");
    Line(p, "<main id=\"content\" class=\"wrap\">");
    p += LeagueCrumbs(l, "fixtures");
    Line(p, "<h1>" + heading + "</h1>");
    Line(p, "<p class=\"lead\">" + EncodePageText(l.association) +
                (l.season.empty() ? std::string() : " &middot; Season " + EncodePageText(l.season)) +
                " &middot; Fixtures &amp; results</p>");
    p += LeagueTabs(l, "fixtures");
    Line(p, "<p class=\"note\">Dates and kick-off times as the match results give them.</p>");

    Line(p, "<h2 id=\"fixtures\">Next fixtures</h2>");
    std::vector<Round> coming = Rounds(real.matches, false);
    std::stable_sort(coming.begin(), coming.end(), [](const Round& a, const Round& b) {
        if (a.first.empty() != b.first.empty()) return b.first.empty();
        return a.first < b.first;
    });
    if (coming.empty()) Line(p, "<p>The results list no games to come.</p>");
    for (const Round& r : coming) p += MatchTable(r, false, l.newestResult);

    Line(p, "<h2 id=\"results\">Results</h2>");
    std::vector<Round> done = Rounds(real.matches, true);
    std::reverse(done.begin(), done.end());
    std::stable_sort(done.begin(), done.end(), [](const Round& a, const Round& b) { return a.last > b.last; });
    if (done.empty()) Line(p, "<p>No game has been played yet.</p>");
    for (const Round& r : done) p += MatchTable(r, true, l.newestResult);
    Line(p, "</main>");
    p += PageEnd(SourceNote(l.source));
    return p;
}
