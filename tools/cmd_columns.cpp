// scorvane columns: whether the cells of standings tables stay inside the
// board's columns, measured as the software canvas draws them.
#include <algorithm>
#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "acquire/fetch_standings.h"
#include "acquire/http_client.h"
#include "acquire/standings_extractor.h"
#include "acquire/standings_table.h"
#include "app/association_table.h"
#include "app/profile.h"
#include "app/startup.h"
#include "display/board.h"
#include "display/board_layout.h"
#include "platform/posix/curl_http_client.h"
#include "platform/posix/ini_profile.h"
#include "platform/soft/soft_canvas.h"
#include "platform/soft/soft_font.h"
#include "tools/tool_command.h"
#include "tools/tool_util.h"

namespace {

const char kUsage[] =
    "usage: scorvane columns [--server HOST:PORT] PAGE...\n"
    "\n"
    "Lays out the table of each standings page as the board does, in its table\n"
    "font on the software canvas, and checks that no cell of a row reaches into\n"
    "the column of the next. A club name wider than its column is no error:\n"
    "such names are counted and listed.\n"
    "\n"
    "PAGE is an http URL, an association code (its page on the server given,\n"
    "by default the one in the saver's profile), 'all' for every association\n"
    "of the built-in table, or else a file holding a page (- for standard\n"
    "input).\n"
    "\n"
    "Prints a line for every overlap and every long name, then\n"
    "  columns: P pages, R rows, O overlaps, L club names over N px; widest\n"
    "  figure \"F\" W px, narrowest gap between figures G px\n"
    "Exit status: 0 when no cells overlap, 1 when some do or a page could not\n"
    "be read or holds no table.\n";

struct Tally {
    int pages = 0, rows = 0, overlaps = 0, longNames = 0;
    std::string widestFigure;
    int widestFigureWidth = -1;
    int narrowestGap = INT_MAX;  // between figures: a long name is the accepted exception
};

// The rows of theStandings, against the columns of the board.
void CheckRows(const std::string& page, SoftCanvas& canvas, Tally& tally) {
    constexpr const int* x = kTableColumnOffsets;
    for (int r = 0; r < theStandings.GetSize(); ++r) {
        const StandingsRow& row = theStandings.ElementAt(r);
        ++tally.rows;
        for (int j = 0; j < 9; ++j) {
            const std::string& text = row[j + 2];
            const int width = canvas.GetTextExtent(text).cx;
            if (j > 0 && width > tally.widestFigureWidth) {
                tally.widestFigureWidth = width;
                tally.widestFigure = text;
            }
            if (j == 8) continue;
            const int gap = x[j + 1] - (x[j] + width);
            if (j == 0 && gap < 0) {
                ++tally.longNames;
                std::printf("%s: row %d: club name \"%s\" is %d px wide\n", page.c_str(), r,
                            Latin1ToUtf8(text).c_str(), width);
                continue;
            }
            if (gap < 0) {
                ++tally.overlaps;
                std::printf("%s: row %d: \"%s\" is %d px wide and runs %d px into \"%s\"\n", page.c_str(), r,
                            Latin1ToUtf8(text).c_str(), width, -gap, Latin1ToUtf8(row[j + 3]).c_str());
            }
            if (j > 0 && gap >= 0 && gap < tally.narrowestGap) tally.narrowestGap = gap;
        }
    }
}

// Reads one page into theStandings; false with `error` set when it cannot.
bool ReadPage(const std::string& page, const std::string& server, std::string& error) {
    StandingsExtractor::ResetSharedState();
    theStandings.RemoveAll();
    bool ok = false;
    if (page.find("://") != std::string::npos || FindAssociationIndex(page.c_str()) >= 0) {
        const std::string url =
            page.find("://") != std::string::npos ? page : ComposeStandingsUrl(server, page);
        CurlHttpClient client;
        ok = FetchStandings(client, url.c_str());
        if (!ok) error = "download of " + url + " failed";
    } else {
        std::string body;
        if (!ReadInput(page, body, error)) return false;
        ok = ReadStandingsPage(std::move(body));
        if (!ok) error = "the page could not be parsed (out of memory)";
    }
    if (ok && theStandings.GetSize() == 0) {
        error = "no standings table";
        ok = false;
    }
    return ok;
}

int RunColumns(int argc, char** argv) {
    ToolArgs args;
    std::string error;
    if (!args.Parse(argc, argv, {{"--server", true}}, error) || (!args.WantsHelp() && args.Operands().empty())) {
        PrintError("columns", error.empty() ? "a page is needed" : error);
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    if (args.WantsHelp()) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    std::string server = args.Value("--server");
    if (server.empty()) server = IniProfile("vemo").GetProfileString(kSettingsSection, kServerEntry, kDefaultServer);

    std::vector<std::string> pages;
    for (const std::string& operand : args.Operands()) {
        if (operand != "all") {
            pages.push_back(operand);
            continue;
        }
        for (int i = 0; const char* code = AssociationCodeAt(i); ++i) pages.emplace_back(code);
    }

    SoftFontFactory fonts;
    if (!fonts.IsReady()) {
        PrintError("columns", "no fonts could be loaded");
        return kExitFailure;
    }
    BoardLayout stage(fonts);
    Font* tableFont = stage.GetFont(kTableFontSpec);
    if (const std::string note = StandInNote(*tableFont); !note.empty()) PrintError("columns", "note: " + note);
    SoftCanvas canvas(1, 1);
    canvas.SelectFont(tableFont);

    Tally tally;
    bool unread = false;
    for (const std::string& page : pages) {
        if (!ReadPage(page, server, error)) {
            PrintError("columns", page + ": " + error);
            unread = true;
            continue;
        }
        ++tally.pages;
        CheckRows(page, canvas, tally);
    }
    theStandings.RemoveAll();
    std::printf("columns: %d pages, %d rows, %d overlaps, %d club names over %d px; widest figure \"%s\" %d px, "
                "narrowest gap between figures %d px\n",
                tally.pages, tally.rows, tally.overlaps, tally.longNames, kTableColumnOffsets[1],
                Latin1ToUtf8(tally.widestFigure).c_str(), std::max(tally.widestFigureWidth, 0),
                tally.narrowestGap == INT_MAX ? 0 : tally.narrowestGap);
    stage.FreeResources();
    return tally.overlaps > 0 || unread ? kExitFailure : 0;
}

}  // namespace

SCORVANE_TOOL_COMMAND(columns, "columns", "check that standings tables fit the board's columns", RunColumns);
