// The scorvane companion tool: one executable, one subcommand per job.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "tools/tool_command.h"

namespace {

std::vector<ToolCommand>& Commands() {
    static std::vector<ToolCommand> commands;
    return commands;
}

void PrintOverview(std::FILE* out) {
    std::fprintf(out, "usage: scorvane COMMAND [OPTIONS]\n\ncommands:\n");
    std::vector<ToolCommand> sorted = Commands();
    std::sort(sorted.begin(), sorted.end(),
              [](const ToolCommand& a, const ToolCommand& b) { return std::strcmp(a.name, b.name) < 0; });
    for (const ToolCommand& c : sorted) std::fprintf(out, "  %-10s %s\n", c.name, c.summary);
    std::fprintf(out, "\n'scorvane COMMAND --help' describes a command, 'scorvane --version'\n"
                      "prints the version.\n");
}

}  // namespace

bool RegisterToolCommand(const ToolCommand& command) {
    Commands().push_back(command);
    return true;
}

int main(int argc, char** argv) {
    if (argc < 2) {
        PrintOverview(stderr);
        return 2;
    }
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 ||
        std::strcmp(argv[1], "help") == 0) {
        PrintOverview(stdout);
        return 0;
    }
    if (std::strcmp(argv[1], "--version") == 0) {
        std::printf("scorvane %s\n", SCORVANE_VERSION);
        return 0;
    }
    for (const ToolCommand& c : Commands()) {
        if (std::strcmp(c.name, argv[1]) == 0) return c.run(argc - 1, argv + 1);
    }
    std::fprintf(stderr, "scorvane: unknown command '%s'\n\n", argv[1]);
    PrintOverview(stderr);
    return 2;
}
