// scorvane publish: standings pages from match results, as static files.
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>
#include <utility>

#include "app/association_table.h"
#include "app/startup.h"
#include "tools/results_site.h"
#include "tools/site_assets.h"
#include "tools/tool_command.h"
#include "tools/tool_util.h"

namespace {

const char kUsageHead[] =
    "usage: scorvane publish [--results SRC] [--season S] [--adjust FILE]\n"
    "                        [--names FILE] [--leagues FILE] [--made-up] --out DIR\n"
    "\n"
    "Computes the table of every association whose league the results have\n"
    "and writes the site, the pages the saver reads among them:\n"
    "  DIR/associations/association=CODE/nationalleague/standings.html\n"
    "  DIR/associations/association=CODE/nationalleague/fixtures.html\n"
    "                 (the games to come and the results, by round)\n"
    "  DIR/associations/association=CODE/index.html (the league, its date,\n"
    "                 its source and licence)\n"
    "  DIR/index.html (the associations with a table, with links, the date of\n"
    "                 the newest result, and those without one)\n"
    "  DIR/static/site.css, DIR/static/logo.svg\n"
    "for any static web server to serve: links are relative, and each folder\n"
    "a page links to has its index.html. DIR is replaced as a whole once\n"
    "every file is written: a run that fails leaves it as it was. An\n"
    "association whose league the results do not have gets no page.\n"
    "\n";
const char kUsageTail[] =
    "  --made-up       a made-up league for every association without results,\n"
    "                  the same one for the same code every time (for\n"
    "                  demonstrations and tests): its standings page alone\n"
    "  --out DIR       the folder to write (created or replaced)\n"
    "\n"
    "stdout: one line per page: CODE, the league, the season, the number of\n"
    "clubs and the file read, TAB-separated ('made-up league', '-' and '-'\n"
    "for a made-up one). stderr: a note for every league the source could\n"
    "not give, saying what was used instead.\n";

bool WriteFile(const std::string& path, const std::string& data, std::string& error) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr || std::fwrite(data.data(), 1, data.size(), f) != data.size() || std::fflush(f) != 0 ||
        fsync(fileno(f)) != 0) {
        error = "cannot write '" + path + "': " + std::strerror(errno);
        if (f != nullptr) std::fclose(f);
        return false;
    }
    return std::fclose(f) == 0;
}

bool MakeFolder(const std::string& path, std::string& error) {
    if (mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) {
        error = "cannot create '" + path + "': " + std::strerror(errno);
        return false;
    }
    return true;
}

void RemoveTree(const std::string& path) {
    if (DIR* d = opendir(path.c_str())) {
        while (dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (name == "." || name == "..") continue;
            const std::string child = path + "/" + name;
            struct stat st;
            if (lstat(child.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) RemoveTree(child);
            else unlink(child.c_str());
        }
        closedir(d);
    }
    rmdir(path.c_str());
}

int RunPublish(int argc, char** argv) {
    ToolArgs args;
    const std::string usage = std::string(kUsageHead) + kResultsOptionsHelp + kUsageTail;
    const int status = ParseCommandLine(args, "publish", argc, argv,
                                        {{"--results", true},
                                         {"--season", true},
                                         {"--adjust", true},
                                         {"--names", true},
                                         {"--leagues", true},
                                         {"--made-up", false},
                                         {"--out", true}},
                                        usage);
    if (status >= 0) return status;
    std::string error;
    if (!args.Operands().empty()) {
        PrintError("publish", "unexpected argument '" + args.Operands().front() + "'");
        return kExitUsage;
    }
    if (!args.Has("--out") || args.Value("--out").empty()) {
        PrintError("publish", "--out is needed");
        std::fputs(usage.c_str(), stderr);
        return kExitUsage;
    }
    const bool madeUp = args.Has("--made-up");
    ResultsOptions options;
    if (!ReadResultsOptions(args, options, error)) {
        PrintError("publish", error);
        return kExitFailure;
    }
    std::string out = args.Value("--out");
    while (out.size() > 1 && out.back() == '/') out.pop_back();

    ResultsReader reader(options);
    const std::vector<ResultsReader::Read> reads = reader.LoadAll(ResultsReader::Mode::Fallback);
    std::vector<RealLeague> leagues;
    std::set<std::pair<std::string, std::string>> used;  // code, season
    for (const ResultsReader::Read& read : reads) {
        const std::string& code = read.league.code;
        if (read.status == ResultsReader::Status::Loaded) {
            if (read.league.from != RealLeague::From::Source)
                PrintError("publish", "note: " + code + ": " + read.error + "; using " + DescribeOrigin(read.league));
            used.insert({code, read.league.season});
            leagues.push_back(read.league);
        } else if (read.status == ResultsReader::Status::Failed && !options.IsUrl()) {
            // A broken file in the user's own folder is theirs to mend.
            PrintError("publish", read.error + "; nothing was written");
            return kExitFailure;
        } else if (!read.error.empty()) {
            PrintError("publish", "note: " + code + ": " + read.error +
                                      (madeUp ? "; a made-up league instead" : "; nothing cached or bundled: no page"));
        }
    }
    for (const SeasonAdjustment& a : options.adjustments) {
        if (used.count({a.code, a.season}) == 0)
            PrintError("publish", "note: " + options.adjustFile + ": line " + std::to_string(a.line) +
                                      ": no league of " + a.code + " for " + a.season + " was published");
    }
    if (leagues.empty() && !madeUp) {
        PrintError("publish", "the results in '" + options.source + "' have no league of any association" +
                                  (options.season.empty() ? std::string() : " for " + options.season) +
                                  "; nothing was written");
        return kExitFailure;
    }
    std::vector<League> madeUpLeagues;
    if (madeUp) {
        for (const AssociationEntry* a = AssociationTable; a->code != nullptr; ++a) {
            const bool covered = std::any_of(leagues.begin(), leagues.end(),
                                             [a](const RealLeague& l) { return l.code == a->code; });
            if (!covered) madeUpLeagues.push_back(GenerateLeague(a->code, a->name));
        }
    }

    // Everything goes into a new folder beside DIR, which then takes DIR's
    // place in one step.
    const std::size_t slash = out.rfind('/');
    const std::string parent = slash == std::string::npos ? "." : (slash == 0 ? "/" : out.substr(0, slash));
    std::string staging = parent + "/." + out.substr(slash == std::string::npos ? 0 : slash + 1) + ".new-XXXXXX";
    if (mkdtemp(staging.data()) == nullptr) {
        PrintError("publish", "cannot create a folder in '" + parent + "': " + std::strerror(errno));
        return kExitFailure;
    }
    chmod(staging.c_str(), 0755);
    // Every file of the site, from its root: the pages of each league, the
    // front page and the site's own files.
    std::vector<std::pair<std::string, std::string>> files;
    for (const RealLeague& l : leagues) {
        files.emplace_back(StandingsPagePath(l.code), RenderStandingsPage(l.league));
        files.emplace_back(FixturesPagePath(l.code), RenderFixturesPage(l));
        files.emplace_back(AssociationPagePath(l.code), RenderAssociationPage(l));
    }
    for (const League& l : madeUpLeagues) files.emplace_back(StandingsPagePath(l.code), RenderStandingsPage(l));
    files.emplace_back("/index.html", RenderIndexPage(leagues, madeUp));
    for (const SiteAsset& asset : SiteAssets())
        files.emplace_back("/" + std::string(asset.path), std::string(asset.body));
    bool ok = true;
    for (const auto& [path, body] : files) {
        // Each folder on the file's path in turn.
        const std::string file = staging + path;
        for (std::size_t at = file.find('/', staging.size() + 1); ok && at != std::string::npos;
             at = file.find('/', at + 1))
            ok = MakeFolder(file.substr(0, at), error);
        ok = ok && WriteFile(file, body, error);
    }
    struct stat st;
    const bool existed = lstat(out.c_str(), &st) == 0;
    if (ok && existed && !S_ISDIR(st.st_mode)) {
        error = "'" + out + "' exists and is not a folder";
        ok = false;
    }
    if (ok) {
        if (existed) {
            if (renameat2(AT_FDCWD, staging.c_str(), AT_FDCWD, out.c_str(), RENAME_EXCHANGE) != 0) {
                error = "cannot replace '" + out + "': " + std::strerror(errno);
                ok = false;
            }
        } else if (rename(staging.c_str(), out.c_str()) != 0) {
            error = "cannot create '" + out + "': " + std::strerror(errno);
            ok = false;
        }
    }
    // After the exchange the staging name holds the previous site.
    if (!ok || existed) RemoveTree(staging);
    if (!ok) {
        PrintError("publish", error + "; '" + out + "' was left as it was");
        return kExitFailure;
    }
    for (const RealLeague& l : leagues) {
        std::printf("%s\t%s\t%s\t%zu\t%s\n", l.code.c_str(), Latin1ToUtf8(l.league.competition).c_str(),
                    l.season.c_str(), l.league.teams.size(), l.origin.c_str());
    }
    for (const League& l : madeUpLeagues) std::printf("%s\tmade-up league\t-\t%zu\t-\n", l.code.c_str(), l.teams.size());
    return 0;
}

}  // namespace

SCORVANE_TOOL_COMMAND(publish, "publish", "write standings pages from match results as static files", RunPublish);
