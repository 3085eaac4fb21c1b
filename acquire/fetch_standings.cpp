#include "acquire/fetch_standings.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "acquire/http_client.h"
#include "acquire/markup_parser.h"
#include "acquire/standings_extractor.h"

namespace {

bool EqualsIgnoreCase(const std::string& a, const char* b) {
    const std::size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (std::size_t i = 0; i < n; ++i) {
        char c = a[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != b[i]) return false;
    }
    return true;
}

}  // namespace

bool ParseUrl(const std::string& url, ParsedUrl& out) {
    const std::size_t colon = url.find("://");
    if (colon == std::string::npos || colon == 0) return false;
    const std::string scheme = url.substr(0, colon);
    for (char c : scheme)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '-' ||
              c == '.'))
            return false;

    const std::size_t authorityStart = colon + 3;
    std::size_t slash = url.find_first_of("/?#", authorityStart);
    if (slash == std::string::npos) slash = url.size();
    std::string authority = url.substr(authorityStart, slash - authorityStart);
    // Credentials are not ours to send; only the server part counts.
    const std::size_t at = authority.rfind('@');
    if (at != std::string::npos) authority.erase(0, at + 1);

    std::string host = authority;
    int port = 80;
    const std::size_t portColon = authority.find(':');
    if (portColon != std::string::npos) {
        host = authority.substr(0, portColon);
        const std::string digits = authority.substr(portColon + 1);
        if (digits.empty() || digits.size() > 5) return false;
        long value = 0;
        for (char c : digits) {
            if (c < '0' || c > '9') return false;
            value = value * 10 + (c - '0');
        }
        if (value < 1 || value > 65535) return false;
        port = static_cast<int>(value);
    }
    if (host.empty()) return false;

    out.http = EqualsIgnoreCase(scheme, "http");
    out.host = host;
    out.port = port;
    if (slash >= url.size())
        out.path = "/";
    else if (url[slash] == '/')
        out.path = url.substr(slash);
    else
        out.path = "/" + url.substr(slash);
    return true;
}

bool ReadStandingsPage(std::string page) noexcept {
    try {
        StandingsExtractor extractor;
        MarkupParser parser;
        parser.decodeEntities = true;
        parser.userData = nullptr;
        parser.notifyMask = 0x1f;
        parser.handler = &extractor;
        // Line by line the page loses every line break: text separated only
        // by one is joined directly.
        page.erase(std::remove_if(page.begin(), page.end(), [](char c) { return c == '\r' || c == '\n'; }),
                   page.end());
        parser.Parse(page.c_str());
    } catch (...) {
        return false;
    }
    return true;
}

bool FetchStandings(HttpClient& client, const char* url) {
    // Anything raised here, a transport error or running out of memory while
    // the page is held or parsed, is a failed download; rows the extractor
    // appended before it stay.
    try {
        ParsedUrl parts;
        if (url == nullptr || !ParseUrl(url, parts) || !parts.http) return true;
        std::string page;
        // Any other status, a redirect among them (none is followed), means
        // the page is not there: the user learns that the download failed
        // instead of seeing a board without a table and without a reason.
        if (client.Get(parts.host, parts.port, parts.path, page) != 200) return false;
        return ReadStandingsPage(std::move(page));
    } catch (...) {
        return false;
    }
    return true;
}
