#pragma once
// What the scorvane commands share: argument parsing, input reading, the
// conversions from the program's ISO 8859-1 text to UTF-8 output, and the
// printing of standings rows.

#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/latin1.h"

class StandingsTable;

// Exit status of a command that was called wrongly; a command that could
// not do its job for another reason exits with 1.
inline constexpr int kExitUsage = 2;
inline constexpr int kExitFailure = 1;

// "scorvane COMMAND: message" on stderr.
void PrintError(const char* command, const std::string& message);

struct OptionSpec {
    const char* name;  // "--port"
    bool takesValue;
};

// Options as "--name", "--name VALUE" or "--name=VALUE", anywhere among the
// operands; "--" ends the options and "-" alone is an operand. "--help" and
// "-h" are always known.
class ToolArgs {
public:
    // False with `error` set for an unknown option or a missing value.
    bool Parse(int argc, char** argv, std::initializer_list<OptionSpec> options, std::string& error);
    bool Has(const char* name) const;
    // The last value given for the option, or `fallback`.
    std::string Value(const char* name, const std::string& fallback = {}) const;
    bool WantsHelp() const { return Has("--help"); }
    const std::vector<std::string>& Operands() const { return operands_; }

private:
    std::vector<std::pair<std::string, std::string>> options_;
    std::vector<std::string> operands_;
};

// The opening every command shares: parses the options, prints the usage
// on --help (status 0) or after a bad option (status kExitUsage). Returns
// the status to end the command with, or -1 to go on.
int ParseCommandLine(ToolArgs& args, const char* command, int argc, char** argv,
                     std::initializer_list<OptionSpec> options, const std::string& usage);

// Reads a whole file, or standard input for "-" or an empty name.
bool ReadInput(const std::string& name, std::string& out, std::string& error);

// Decimal integer in [min, max], nothing else around it.
bool ParseInteger(std::string_view text, long min, long max, long& out);

// Inside double quotes, exact bytes: \\ \" \t \n \r and \xHH for every other
// byte below 0x20 or from 0x7F up.
std::string EscapeForQuotes(const std::string& bytes);

// One cell of a TAB-separated row: ISO 8859-1 to UTF-8, with \\ \t \n \r and
// \xHH for the other bytes below 0x20 and 0x7F.
std::string EscapeCell(const std::string& latin1);

// A JSON string literal, quotes included, of ISO 8859-1 text.
std::string JsonString(const std::string& latin1);

// Every row of the table: eleven TAB-separated cells a line, or with `json`
// the object {"rows": [[...], ...]}.
void PrintRows(std::FILE* out, const StandingsTable& table, bool json);

