#include "tools/tool_util.h"

#include <cerrno>
#include <cstring>
#include <nlohmann/json.hpp>

#include "acquire/standings_table.h"
#include "display/trace_canvas.h"

void PrintError(const char* command, const std::string& message) {
    std::fprintf(stderr, "scorvane %s: %s\n", command, message.c_str());
}

bool ToolArgs::Parse(int argc, char** argv, std::initializer_list<OptionSpec> options, std::string& error) {
    options_.clear();
    operands_.clear();
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-') {
            operands_.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            options_.emplace_back("--help", "");
            continue;
        }
        const size_t eq = arg.find('=');
        const std::string name = arg.substr(0, eq);
        const OptionSpec* spec = nullptr;
        for (const OptionSpec& o : options) {
            if (name == o.name) spec = &o;
        }
        if (spec == nullptr) {
            error = "unknown option '" + name + "'";
            return false;
        }
        if (!spec->takesValue) {
            if (eq != std::string::npos) {
                error = "option '" + name + "' takes no value";
                return false;
            }
            options_.emplace_back(name, "");
        } else if (eq != std::string::npos) {
            options_.emplace_back(name, arg.substr(eq + 1));
        } else if (i + 1 < argc) {
            options_.emplace_back(name, argv[++i]);
        } else {
            error = "option '" + name + "' needs a value";
            return false;
        }
    }
    return true;
}

int ParseCommandLine(ToolArgs& args, const char* command, int argc, char** argv,
                     std::initializer_list<OptionSpec> options, const std::string& usage) {
    std::string error;
    if (!args.Parse(argc, argv, options, error)) {
        PrintError(command, error);
        std::fputs(usage.c_str(), stderr);
        return kExitUsage;
    }
    if (args.WantsHelp()) {
        std::fputs(usage.c_str(), stdout);
        return 0;
    }
    return -1;
}

bool ToolArgs::Has(const char* name) const {
    for (const auto& o : options_) {
        if (o.first == name) return true;
    }
    return false;
}

std::string ToolArgs::Value(const char* name, const std::string& fallback) const {
    std::string value = fallback;
    for (const auto& o : options_) {
        if (o.first == name) value = o.second;
    }
    return value;
}

bool ReadInput(const std::string& name, std::string& out, std::string& error) {
    out.clear();
    const bool useStdin = name.empty() || name == "-";
    std::FILE* f = useStdin ? stdin : std::fopen(name.c_str(), "rb");
    if (f == nullptr) {
        error = "cannot open '" + name + "': " + std::strerror(errno);
        return false;
    }
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) out.append(buffer, n);
    const bool failed = std::ferror(f) != 0;
    const int readErrno = errno;
    if (!useStdin) std::fclose(f);
    if (failed) {
        error = "cannot read '" + (useStdin ? std::string("standard input") : name) + "': " +
                std::strerror(readErrno);
        return false;
    }
    return true;
}

bool ParseInteger(std::string_view text, long min, long max, long& out) {
    if (text.empty() || text.size() > 18) return false;
    size_t i = 0;
    bool negative = false;
    if (text[0] == '-' || text[0] == '+') {
        negative = text[0] == '-';
        i = 1;
    }
    if (i == text.size()) return false;
    long value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + (text[i] - '0');
    }
    if (negative) value = -value;
    if (value < min || value > max) return false;
    out = value;
    return true;
}

namespace {

void AppendHex(std::string& out, unsigned char c) {
    static const char digits[] = "0123456789ABCDEF";
    out += "\\x";
    out += digits[c >> 4];
    out += digits[c & 15];
}

}  // namespace

// One escaping for every quoted text the tool prints, the trace's included.
std::string EscapeForQuotes(const std::string& bytes) { return TraceCanvas::EscapeText(bytes); }

std::string EscapeCell(const std::string& latin1) {
    std::string out;
    out.reserve(latin1.size());
    for (unsigned char c : latin1) {
        switch (c) {
            case '\\': out += "\\\\"; break;
            case '\t': out += "\\t"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    AppendHex(out, c);
                } else {
                    out += Latin1ToUtf8(std::string_view(reinterpret_cast<const char*>(&c), 1));
                }
        }
    }
    return out;
}

std::string JsonString(const std::string& latin1) {
    // The library leaves DEL as it is; our output has always escaped it, as
    // it does the other control characters.
    const std::string dumped = nlohmann::json(Latin1ToUtf8(latin1)).dump();
    std::string out;
    out.reserve(dumped.size());
    for (char c : dumped) {
        if (c == '\x7F') out += "\\u007f";
        else out += c;
    }
    return out;
}

void PrintRows(std::FILE* out, const StandingsTable& table, bool json) {
    if (json) {
        if (table.GetSize() == 0) {
            std::fputs("{\"rows\": []}\n", out);
            return;
        }
        std::fputs("{\"rows\": [\n", out);
        for (int r = 0; r < table.GetSize(); ++r) {
            std::string line = "  [";
            for (int c = 0; c < 11; ++c) {
                if (c > 0) line += ", ";
                line += JsonString(table.ElementAt(r)[c]);
            }
            line += r + 1 < table.GetSize() ? "],\n" : "]\n";
            std::fputs(line.c_str(), out);
        }
        std::fputs("]}\n", out);
        return;
    }
    for (int r = 0; r < table.GetSize(); ++r) {
        std::string line;
        for (int c = 0; c < 11; ++c) {
            if (c > 0) line += '\t';
            line += EscapeCell(table.ElementAt(r)[c]);
        }
        line += '\n';
        std::fwrite(line.data(), 1, line.size(), out);
    }
}
