// scorvane fetch: the saver's download, from the command line.
#include <cstdio>
#include <string>

#include "acquire/fetch_standings.h"
#include "acquire/http_client.h"
#include "acquire/standings_table.h"
#include "app/association_table.h"
#include "app/profile.h"
#include "app/startup.h"
#include "platform/posix/curl_http_client.h"
#include "platform/posix/ini_profile.h"
#include "tools/tool_command.h"
#include "tools/tool_util.h"

namespace {

const char kUsage[] =
    "usage: scorvane fetch [--json] URL|CODE\n"
    "\n"
    "Runs the saver's download of a standings page (libcurl, HTTP/1.0, user\n"
    "agent Vemo, at most 10 s to connect and 20 s in all, at most 32 MiB) and\n"
    "prints the rows as 'scorvane extract' does. A bare association CODE is\n"
    "expanded with the server of the saver's profile (value Server in section\n"
    "[Settings] of $XDG_CONFIG_HOME/vemo/vemo.ini, default 127.0.0.1:8080).\n"
    "\n"
    "Exit status: 0 when the download succeeded (also for a page without a\n"
    "table: no rows), 1 when it failed (also for a status other than 200).\n"
    "  --json  print {\"rows\": [[11 strings], ...]}\n";

// Keeps what the download itself does not report: whether a request went
// out, its status, and why it failed.
class ObservedClient : public HttpClient {
public:
    int Get(const std::string& host, int port, const std::string& path, std::string& body) override {
        requested = true;
        try {
            status = inner_.Get(host, port, path, body);
            return status;
        } catch (const HttpError& e) {
            failure = e.what();
            throw;
        }
    }
    bool requested = false;
    int status = 0;
    std::string failure;

private:
    CurlHttpClient inner_;
};

int RunFetch(int argc, char** argv) {
    ToolArgs args;
    if (const int status = ParseCommandLine(args, "fetch", argc, argv, {{"--json", false}}, kUsage); status >= 0)
        return status;
    if (args.Operands().size() != 1 || args.Operands()[0].empty()) {
        PrintError("fetch", args.Operands().empty() ? "an URL or an association code is needed"
                                                    : "exactly one URL or association code is needed");
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    std::string url = args.Operands()[0];
    if (url.find("://") == std::string::npos) {
        if (FindAssociationIndex(url.c_str()) < 0) {
            PrintError("fetch", "note: '" + url + "' is not a code of the association table");
        }
        IniProfile profile("vemo");
        url = ComposeStandingsUrl(profile.GetProfileString(kSettingsSection, kServerEntry, kDefaultServer), url);
    }

    ObservedClient client;
    const bool ok = FetchStandings(client, url.c_str());
    PrintRows(stdout, theStandings, args.Has("--json"));
    std::fflush(stdout);
    if (!ok) {
        std::string why;
        if (!client.failure.empty())
            why = ": " + client.failure;
        else if (client.status != 200)
            why = ": the server answered with status " + std::to_string(client.status);
        PrintError("fetch", "download of " + url + " failed" + why);
        return kExitFailure;
    }
    if (!client.requested)
        PrintError("fetch", "note: " + url + " is not an http URL the download can read; nothing was requested");
    return 0;
}

}  // namespace

SCORVANE_TOOL_COMMAND(fetch, "fetch", "download a standings page the saver's way and print its rows", RunFetch);
