#pragma once
// The pages of the stand-in standings site: a league as data, generated from
// an association code or read from a user's CSV file, and its page.

#include <array>
#include <string>
#include <vector>

struct LeagueTeam {
    std::string position;              // as shown, "1."
    std::string name;                  // ISO 8859-1
    std::array<std::string, 8> figures; // played, won, drawn, lost, goals for, against, difference, points
};

struct League {
    std::string code;
    std::string association;  // display name
    std::string competition;  // a real league's name, ISO 8859-1; "" for a made-up one
    int matchday = 0;         // 0 when unknown
    std::string newestResult; // "2026-03-08": the newest played match counted, "" when unknown
    std::vector<LeagueTeam> teams;
};

// The eleven texts of the table head, in page order; the second one is the
// trend column, which has no text in the team rows.
extern const char* const kLeagueHeaderTexts[11];

// A believable season for the association: 10 to 20 fictional teams whose
// figures come from actual results, so that every sum adds up. The same code
// always gives the same league.
League GenerateLeague(const std::string& code, const std::string& association);

// One team a line: position, name and the eight figures, comma-separated;
// fields may be quoted as in RFC 4180; blank lines and lines starting with
// "#" are skipped. The file is UTF-8 and every character must exist in ISO
// 8859-1. False with `error` ("line 3: ...") when the file is malformed.
bool ParseLeagueCsv(const std::string& csv, League& league, std::string& error);

// The standings page, CRLF line ends, every byte of text outside printable
// ASCII written as a character reference.
std::string RenderStandingsPage(const League& league);

// The lines every page of the site starts with, up to the open head:
// document type, html, head and the ISO 8859-1 declaration, CRLF ends.
std::string PageStart();

// The page text for ISO 8859-1 text: markup characters and every byte from
// 0x80 up as character references.
std::string EncodePageText(const std::string& latin1);
