#pragma once
// Each subcommand of the scorvane tool registers itself from its own file.

#include <string>

struct ToolCommand {
    const char* name;
    const char* summary;  // one line for the overview
    int (*run)(int argc, char** argv);  // argv[0] is the subcommand's name
};

// Called from a static object in each command's file.
bool RegisterToolCommand(const ToolCommand& command);

#define SCORVANE_TOOL_COMMAND(ident, name, summary, fn) \
    static const bool ident##_registered = RegisterToolCommand(ToolCommand{name, summary, fn})
