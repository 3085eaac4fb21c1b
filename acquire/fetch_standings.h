#pragma once
// Downloads one standings page and feeds it through the tokenizer and the
// extractor into theStandings.

#include <string>

class HttpClient;

struct ParsedUrl {
    bool http = false;    // the scheme is http (case-insensitive)
    std::string host;
    int port = 80;
    std::string path;     // from the first "/" after the host; "/" when none
};

// Splits an URL the way the Windows framework's URL parser does for the parts
// the download needs. False when the text is not an URL at all.
bool ParseUrl(const std::string& url, ParsedUrl& out);

// The reader on its own, for a page already in hand: line breaks removed,
// then the tokenizer and the extractor append its table to theStandings.
// False when it ran out of memory on the way; rows appended before stay.
bool ReadStandingsPage(std::string page) noexcept;

// False when the exchange raised an error or the server answered with a
// status other than 200; true for a non-HTTP URL (no request is made) and for
// a page without a table.
bool FetchStandings(HttpClient& client, const char* url);
