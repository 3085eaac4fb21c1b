// scorvane extract: the rows the saver would take from a page body.
#include <cstdio>
#include <string>

#include "acquire/fetch_standings.h"
#include "acquire/standings_table.h"
#include "tools/tool_command.h"
#include "tools/tool_util.h"

namespace {

const char kUsage[] =
    "usage: scorvane extract [--json] [FILE|-]\n"
    "\n"
    "Reads a standings page body (raw bytes, standard input without FILE or\n"
    "with -), removes CR and LF as the download does, runs the tokenizer and\n"
    "the extractor and prints the rows.\n"
    "\n"
    "Output: one line per row, its eleven cells separated by TAB, converted\n"
    "from ISO 8859-1 to UTF-8, with \\\\, \\t, \\n, \\r and \\xHH for the other\n"
    "bytes below 0x20 and 0x7F.\n"
    "  --json  {\"rows\": [[11 strings], ...]} in UTF-8 instead\n";


int RunExtract(int argc, char** argv) {
    ToolArgs args;
    if (const int status = ParseCommandLine(args, "extract", argc, argv, {{"--json", false}}, kUsage); status >= 0)
        return status;
    std::string error;
    if (args.Operands().size() > 1) {
        PrintError("extract", "more than one input given");
        return kExitUsage;
    }
    std::string body;
    if (!ReadInput(args.Operands().empty() ? "-" : args.Operands()[0], body, error)) {
        PrintError("extract", error);
        return kExitFailure;
    }
    if (!ReadStandingsPage(std::move(body))) {
        PrintError("extract", "the page could not be parsed (out of memory)");
        return kExitFailure;
    }
    PrintRows(stdout, theStandings, args.Has("--json"));
    return 0;
}

}  // namespace

SCORVANE_TOOL_COMMAND(extract, "extract", "print the standings rows of a page body", RunExtract);
