#include "results/open_results.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iterator>
#include <mutex>
#include <system_error>

#include "acquire/http_client.h"
#include "app/association_table.h"
#include "app/startup.h"
#include "app/latin1.h"
#include "results/league_files.h"
#include "results/match_results.h"

namespace {

// Leagues that play a season within one calendar year; every other league
// plays from summer to spring.
bool PlaysInCalendarYear(const std::string& league) {
    static const char* const kCalendarYear[] = {"ar.1", "br.1", "br.2", "cn.1", "co.1", "jp.1", "mls"};
    return std::any_of(std::begin(kCalendarYear), std::end(kCalendarYear),
                       [&league](const char* l) { return league == l; });
}

std::string SplitSeason(int firstYear) {
    char text[16];
    std::snprintf(text, sizeof text, "%d-%02d", firstYear, (firstYear + 1) % 100);
    return text;
}

std::string Signed(int n) { return n > 0 ? "+" + std::to_string(n) : std::to_string(n); }

bool HasPlayedMatch(const SeasonResults& results) {
    return std::any_of(results.matches.begin(), results.matches.end(), [](const MatchResult& m) { return m.played; });
}

// One season's file turned into the board's rows; false with `problem` when
// the file cannot be read.
struct Built {
    std::vector<StandingsRow> rows;
    std::string newestDate;
    bool played = false;
};

bool Build(const std::string& league, const std::string& json, Built& out, std::string& problem) {
    SeasonResults results;
    if (!ParseSeasonResults(json, results, problem)) return false;
    std::vector<TableRow> table;
    if (!ComputeTable(results, RulesForLeague(league), {}, table, problem)) return false;
    out.rows = StandingsRowsFromTable(table);
    out.newestDate = NewestPlayedDate(results);
    out.played = HasPlayedMatch(results);
    return true;
}

bool ReadWholeFile(const std::filesystem::path& path, std::size_t cap, std::string& out) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec || size > cap) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// A validator goes back into a request header: nothing that could end it.
bool IsHeaderSafe(const std::string& value) {
    return value.size() <= 256 &&
           std::none_of(value.begin(), value.end(), [](char c) { return c == '\r' || c == '\n' || c == '\0'; });
}

// The season folders of a snapshot, newest first.
std::vector<std::string> SnapshotSeasons(const std::filesystem::path& folder) {
    std::vector<std::string> seasons;
    std::error_code ec;
    if (folder.empty() || !std::filesystem::is_directory(folder, ec)) return seasons;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_directory(ec) && SeasonStartYear(name) >= 0) seasons.push_back(name);
    }
    std::sort(seasons.begin(), seasons.end(), [](const std::string& a, const std::string& b) {
        return SeasonStartYear(a) != SeasonStartYear(b) ? SeasonStartYear(a) > SeasonStartYear(b) : a > b;
    });
    return seasons;
}

void Adopt(OpenResultsOutcome& out, OpenResultsOutcome::From from, const std::string& season,
           const std::string& origin, Built& built) {
    out.from = from;
    out.season = season;
    out.origin = origin;
    out.newestDate = built.newestDate;
    out.rows = std::move(built.rows);
}

}  // namespace

CivilDate LocalToday() {
    // std::localtime hands out one shared result; the tool asks from
    // several download threads at once.
    static std::mutex guard;
    const std::lock_guard<std::mutex> lock(guard);
    const std::time_t now = std::time(nullptr);
    const std::tm* local = std::localtime(&now);
    if (local == nullptr) return {};
    return {local->tm_year + 1900, local->tm_mon + 1, local->tm_mday};
}

std::vector<std::string> SeasonFoldersToTry(const std::string& league, CivilDate today) {
    if (PlaysInCalendarYear(league)) return {std::to_string(today.year), std::to_string(today.year - 1)};
    const int first = today.month >= 7 ? today.year : today.year - 1;
    return {SplitSeason(first), SplitSeason(first - 1)};
}

std::vector<StandingsRow> StandingsRowsFromTable(const std::vector<TableRow>& table) {
    // The trend column has a head on the page but no text the reader keeps.
    static const char* const kHeader[11] = {"Pos.", "", "Club", "P", "W", "D", "L", "GF", "GA", "GD", "Pts"};
    std::vector<StandingsRow> rows;
    rows.reserve(table.size() + 1);
    StandingsRow head;
    for (int i = 0; i < 11; ++i) head[i] = kHeader[i];
    rows.push_back(head);
    for (std::size_t i = 0; i < table.size() && rows.size() < static_cast<std::size_t>(kMaxStandingsRows); ++i) {
        const TableRow& t = table[i];
        StandingsRow row;
        row[0] = std::to_string(i + 1) + ".";
        row[2] = TransliterateToLatin1(t.team);
        const int figures[] = {t.played, t.won, t.drawn, t.lost, t.goalsFor, t.goalsAgainst};
        for (int f = 0; f < 6; ++f) row[3 + f] = std::to_string(figures[f]);
        row[9] = Signed(t.GoalDifference());
        row[10] = std::to_string(t.points);
        rows.push_back(row);
    }
    return rows;
}

std::string StandingsDateText(const std::string& iso) {
    static const char* const kMonths[12] = {"January", "February", "March",     "April",   "May",      "June",
                                            "July",    "August",   "September", "October", "November", "December"};
    int year = 0, month = 0, day = 0;
    char tail = 0;
    if (iso.size() != 10 || std::sscanf(iso.c_str(), "%4d-%2d-%2d%c", &year, &month, &day, &tail) != 3 ||
        month < 1 || month > 12 || day < 1 || day > 31)
        return {};
    return "Standings of " + std::to_string(day) + " " + kMonths[month - 1] + " " + std::to_string(year);
}

std::filesystem::path ResultsCache::PathOf(const std::string& season, const std::string& league) const {
    return folder_ / (season + "_" + league + ".json");
}

bool ResultsCache::Load(const std::string& season, const std::string& league, Entry& out) const {
    out = Entry{};
    if (folder_.empty()) return false;
    std::string text;
    if (!ReadWholeFile(PathOf(season, league), kMaxResultsBytes + 1024, text)) return false;
    // Two lines of validators, then the file as it came.
    const std::size_t first = text.find('\n');
    const std::size_t second = first == std::string::npos ? first : text.find('\n', first + 1);
    if (second == std::string::npos) return false;
    out.etag = text.substr(0, first);
    out.lastModified = text.substr(first + 1, second - first - 1);
    out.body = text.substr(second + 1);
    return true;
}

// A write takes milliseconds: a partial file this old was left by a saver
// that was killed (or lost its machine) between writing and renaming.
constexpr std::chrono::minutes kLeftoverAge{10};

void ResultsCache::RemoveLeftovers() const {
    std::error_code ec;
    const auto now = std::filesystem::file_time_type::clock::now();
    for (std::filesystem::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->path().extension() != ".partial") continue;
        std::error_code fileError;
        const auto written = std::filesystem::last_write_time(it->path(), fileError);
        if (!fileError && now - written > kLeftoverAge) std::filesystem::remove(it->path(), fileError);
    }
}

bool ResultsCache::Store(const std::string& season, const std::string& league, const Entry& entry) const {
    if (folder_.empty()) return false;
    std::error_code ec;
    std::filesystem::create_directories(folder_, ec);
    RemoveLeftovers();
    const std::filesystem::path path = PathOf(season, league);
    std::filesystem::path partial = path;
    partial += ".partial";
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        const std::string etag = IsHeaderSafe(entry.etag) ? entry.etag : std::string();
        const std::string modified = IsHeaderSafe(entry.lastModified) ? entry.lastModified : std::string();
        out << etag << '\n' << modified << '\n';
        out.write(entry.body.data(), static_cast<std::streamsize>(entry.body.size()));
        out.flush();
        if (!out) {
            out.close();
            std::filesystem::remove(partial, ec);
            return false;
        }
    }
    std::filesystem::rename(partial, path, ec);
    if (ec) std::filesystem::remove(partial, ec);
    return !ec;
}

OpenResultsOutcome AcquireOpenResults(HttpClient* client, const std::string& code, const OpenResultsPlaces& places) {
    OpenResultsOutcome out;
    const auto& map = DefaultLeagueMap();
    const auto mapping =
        std::find_if(map.begin(), map.end(), [&code](const LeagueMapping& m) { return m.code == code; });
    if (mapping == map.end()) {
        out.from = OpenResultsOutcome::From::NotCovered;
        return out;
    }
    out.league = mapping->league;
    const std::vector<std::string> seasons = SeasonFoldersToTry(out.league, places.today);
    const ResultsCache cache(places.cacheFolder);

    // A season begun but not yet played is shown only when no season with
    // games can be had from anywhere.
    Built unplayed;
    std::string unplayedSeason, unplayedOrigin;
    OpenResultsOutcome::From unplayedFrom = OpenResultsOutcome::From::Nothing;
    auto keepUnplayed = [&](OpenResultsOutcome::From from, const std::string& season, const std::string& origin,
                            Built& built) {
        if (unplayedFrom != OpenResultsOutcome::From::Nothing) return;
        unplayedFrom = from;
        unplayedSeason = season;
        unplayedOrigin = origin;
        unplayed = std::move(built);
    };

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kTransferTimeoutSeconds);
    for (std::size_t i = 0; client != nullptr && i < seasons.size(); ++i) {
        const std::string& season = seasons[i];
        const std::string url = places.base + "/" + season + "/" + out.league + ".json";
        const long leftMs = static_cast<long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count());
        if (leftMs < 1000) {
            out.problem = url + ": no time left for it";
            break;
        }
        ResultsCache::Entry held;
        const bool haveHeld = cache.Load(season, out.league, held);
        FileRequest request;
        request.url = url;
        if (haveHeld) {
            request.ifNoneMatch = held.etag;
            request.ifModifiedSince = held.lastModified;
        }
        request.timeoutMs = leftMs;
        request.maxBodyBytes = kMaxResultsBytes;
        FileResponse response;
        try {
            response = client->GetFile(request);
        } catch (const HttpError& e) {
            out.problem = url + ": " + e.what();
            break;
        } catch (const std::exception& e) {
            out.problem = url + ": " + e.what();
            break;
        }
        if (response.status == 404 || response.status == 410) continue;
        const bool notModified = response.status == 304 && haveHeld;
        if (response.status != 200 && !notModified) {
            out.problem = url + ": HTTP status " + std::to_string(response.status);
            break;
        }
        const std::string& body = notModified ? held.body : response.body;
        Built built;
        std::string problem;
        if (!Build(out.league, body, built, problem)) {
            out.problem = url + ": " + problem;
            break;
        }
        if (!notModified) {
            cache.Store(season, out.league, {response.etag, response.lastModified, response.body});
        }
        if (built.played) {
            Adopt(out, OpenResultsOutcome::From::Source, season, url, built);
            return out;
        }
        keepUnplayed(OpenResultsOutcome::From::Source, season, url, built);
    }

    // The source failed or had nothing with games: what was kept, newest
    // season first; then the newest season of the installed snapshot that
    // has the league, however old (its date on the board says how old).
    for (const std::string& season : seasons) {
        ResultsCache::Entry held;
        Built built;
        std::string ignored;
        if (cache.Load(season, out.league, held) && Build(out.league, held.body, built, ignored)) {
            const std::string origin = places.base + "/" + season + "/" + out.league + ".json";
            if (built.played) {
                Adopt(out, OpenResultsOutcome::From::Cache, season, origin, built);
                return out;
            }
            keepUnplayed(OpenResultsOutcome::From::Cache, season, origin, built);
        }
    }
    for (const std::string& season : SnapshotSeasons(places.bundledFolder)) {
        const std::filesystem::path file = places.bundledFolder / season / (out.league + ".json");
        std::string json, ignored;
        Built built;
        if (!ReadWholeFile(file, kMaxResultsBytes, json) || !Build(out.league, json, built, ignored)) continue;
        if (built.played) {
            Adopt(out, OpenResultsOutcome::From::Bundled, season, file.string(), built);
            return out;
        }
        keepUnplayed(OpenResultsOutcome::From::Bundled, season, file.string(), built);
    }
    if (unplayedFrom != OpenResultsOutcome::From::Nothing) {
        Adopt(out, unplayedFrom, unplayedSeason, unplayedOrigin, unplayed);
        return out;
    }
    if (out.problem.empty() && client != nullptr) out.problem = "the source has no file for " + out.league;
    return out;
}

std::string StatusTextFor(const OpenResultsOutcome& outcome, const std::string& code, bool connected) {
    switch (outcome.from) {
        case OpenResultsOutcome::From::NotCovered:
            return std::string("No open results for ") +
                   (*AssociationNameForCode(code.c_str()) ? AssociationNameForCode(code.c_str()) : code.c_str());
        case OpenResultsOutcome::From::Nothing:
            return connected ? kAcquisitionErrorText : kNotConnectedText;
        default:
            return StandingsDateText(outcome.newestDate);
    }
}
