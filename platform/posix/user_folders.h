#pragma once
// Where a Linux program finds its user's cache and the data its package
// installed.

#include <filesystem>
#include <initializer_list>
#include <string_view>

// $XDG_CACHE_HOME/<name>, else ~/.cache/<name>; empty without an absolute
// home, so that nothing is written relative to wherever the program runs.
std::filesystem::path UserCacheFolder(std::string_view name);

// The folder of the running program's file; empty when it cannot be told.
std::filesystem::path ProgramFolder();

// The first folder that exists of: `besideProgram` taken from the program's
// own folder, then `known` in turn; empty when none does. The program's own
// neighbourhood comes first so that an unpacked or relocated install reads
// its own data and not that of another install or of the sources.
std::filesystem::path InstalledDataFolder(const std::filesystem::path& besideProgram,
                                          std::initializer_list<const char*> known);
