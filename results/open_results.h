#pragma once
// The saver's own way to a table when no standings site is set: the chosen
// association's league file from a source of open match results (laid out
// as SEASON/LEAGUE.json), the table computed by the same rules as the
// published pages, the last good file kept per user, and the snapshot a
// package installed as the last resort.

#include <filesystem>
#include <string>
#include <vector>

#include "acquire/standings_table.h"
#include "results/league_table.h"

class HttpClient;

struct CivilDate {
    int year = 1970;
    int month = 1;  // 1 to 12
    int day = 1;
};

// Today in the machine's time zone: a season's folder changes at local
// midnight, as the user's calendar does.
CivilDate LocalToday();

// The season folders to try for a league on `today`, newest first: the
// season under way ("2025-26" from July to June, "2026" in a league that
// plays in a calendar year), then the one before it.
std::vector<std::string> SeasonFoldersToTry(const std::string& league, CivilDate today);

// The rows the board reads, header first, exactly as the saver's reader
// takes them from a published standings page of the same table.
std::vector<StandingsRow> StandingsRowsFromTable(const std::vector<TableRow>& table);

// "Standings of 8 March 2026" for "2026-03-08"; "" for a date it cannot read.
std::string StandingsDateText(const std::string& isoDate);

// The last good file of each league and season, with the validators to ask
// the source whether it changed. Each file is replaced in one step, so a
// saver killed while writing leaves the old copy or the new one.
class ResultsCache {
public:
    struct Entry {
        std::string etag;
        std::string lastModified;
        std::string body;
    };
    // An empty folder keeps nothing.
    explicit ResultsCache(std::filesystem::path folder) : folder_(std::move(folder)) {}
    bool Load(const std::string& season, const std::string& league, Entry& out) const;
    bool Store(const std::string& season, const std::string& league, const Entry& entry) const;

private:
    std::filesystem::path PathOf(const std::string& season, const std::string& league) const;
    // Removes the partial files of writes that never finished; a write of
    // this or another saver under way is left alone.
    void RemoveLeftovers() const;
    std::filesystem::path folder_;
};

struct OpenResultsPlaces {
    std::string base;                     // "https://host/path" or "http://...", without the trailing "/"
    std::filesystem::path cacheFolder;    // empty: nothing kept
    std::filesystem::path bundledFolder;  // empty: no snapshot installed
    CivilDate today;
};

struct OpenResultsOutcome {
    enum class From {
        Source,      // read from the source now (or revalidated there)
        Cache,       // the source failed; the last good copy
        Bundled,     // the source failed and nothing was kept; the installed snapshot
        Nothing,     // no table anywhere
        NotCovered,  // the open results have no league for this association
    };
    From from = From::Nothing;
    std::string league;      // "en.1"
    std::string season;      // "2025-26"
    std::string origin;      // the URL or file the table came from
    std::string newestDate;  // "2026-03-08", "" when unknown
    std::vector<StandingsRow> rows;
    std::string problem;     // what went wrong on the way, "" when nothing did
};

// The whole way for one association code. `client` null: no request is
// made (the machine is offline), the cache and the snapshot still serve. At
// most two requests, together within the download's time bound.
OpenResultsOutcome AcquireOpenResults(HttpClient* client, const std::string& code, const OpenResultsPlaces& places);

// The board's status line for an outcome: the date of the table, or why
// there is none.
std::string StatusTextFor(const OpenResultsOutcome& outcome, const std::string& code, bool connected);
