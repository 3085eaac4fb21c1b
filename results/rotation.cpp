#include "results/rotation.h"

#include <system_error>
#include <thread>
#include <utility>

#include "acquire/fetch_standings.h"
#include "acquire/http_client.h"
#include "acquire/standings_table.h"
#include "app/startup.h"

namespace {

struct Download {
    std::string code;
    bool pageOk = false;            // site: the page came with status 200
    std::string page;               // site: its body
    OpenResultsOutcome results;     // open results
    std::string status;
};

void Fetch(Download& d, const std::string& server, const OpenResultsPlaces& places, bool connected,
           const HttpClientMaker& makeClient) noexcept {
    try {
        if (server.empty()) {
            std::unique_ptr<HttpClient> client = connected ? makeClient() : nullptr;
            d.results = AcquireOpenResults(client.get(), d.code, places);
            d.status = StatusTextFor(d.results, d.code, connected);
            return;
        }
        if (!connected) {
            d.status = kNotConnectedText;
            return;
        }
        ParsedUrl url;
        if (!ParseUrl(ComposeStandingsUrl(server, d.code), url) || !url.http) {
            d.status = kAcquisitionErrorText;
            return;
        }
        d.pageOk = makeClient()->Get(url.host, url.port, url.path, d.page) == 200;
        if (!d.pageOk) d.status = kAcquisitionErrorText;
    } catch (...) {
        // A transport error, or no memory for the page: this league has
        // none, the others still play.
        d.pageOk = false;
        d.page.clear();
        d.results.rows.clear();
        d.status = server.empty() ? StatusTextFor(d.results, d.code, connected) : kAcquisitionErrorText;
    }
}

}  // namespace

void AcquireRotation(const std::vector<std::string>& codes, const std::string& server,
                     const OpenResultsPlaces& places, bool connected, const HttpClientMaker& makeClient) {
    // A code named twice is fetched once: two downloads of one league would
    // also write its kept copy at the same time.
    std::vector<Download> downloads;
    std::vector<std::size_t> of(codes.size());
    for (std::size_t i = 0; i < codes.size(); ++i) {
        std::size_t j = 0;
        while (j < downloads.size() && downloads[j].code != codes[i]) ++j;
        if (j == downloads.size()) downloads.emplace_back().code = codes[i];
        of[i] = j;
    }
    std::vector<std::thread> threads;
    threads.reserve(downloads.size());
    for (Download& d : downloads) {
        try {
            threads.emplace_back([&d, &server, &places, connected, &makeClient] {
                Fetch(d, server, places, connected, makeClient);
            });
        } catch (const std::system_error&) {
            Fetch(d, server, places, connected, makeClient);
        }
    }
    for (std::thread& t : threads) t.join();

    std::vector<LeagueStandings> leagues(downloads.size());
    for (std::size_t j = 0; j < downloads.size(); ++j) {
        Download& d = downloads[j];
        LeagueStandings& league = leagues[j];
        league.code = d.code;
        league.statusText = d.status;
        if (server.empty()) {
            for (const StandingsRow& row : d.results.rows) league.standings.Add(row);
        } else if (d.pageOk) {
            // The reader appends to theStandings: it lends it for this page.
            StandingsTable kept;
            std::swap(kept, theStandings);
            if (!ReadStandingsPage(std::move(d.page))) league.statusText = kAcquisitionErrorText;
            std::swap(league.standings, theStandings);
            std::swap(kept, theStandings);
        }
    }
    theRotation.clear();
    theRotation.reserve(codes.size());
    for (const std::size_t j : of) theRotation.push_back(leagues[j]);
}
