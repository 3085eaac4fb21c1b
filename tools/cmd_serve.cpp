// scorvane serve: the stand-in for the outside standings site.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "app/association_table.h"
#include "app/startup.h"
#include "tools/http_server.h"
#include "tools/league_site.h"
#include "tools/tool_command.h"
#include "tools/tool_util.h"

namespace {

const char kUsage[] =
    "usage: scorvane serve [--bind ADDR] [--port N] [--data DIR]\n"
    "\n"
    "Serves the standings page of every association of the built-in table at\n"
    "  /associations/association=CODE/nationalleague/standings.html\n"
    "and 404 for anything else, until interrupted (SIGINT or SIGTERM).\n"
    "\n"
    "  --bind ADDR  address to listen on (default 127.0.0.1)\n"
    "  --port N     port to listen on, 0 for any free one (default 8080)\n"
    "  --data DIR   serve DIR/CODE.csv instead of generated leagues: one team a\n"
    "               line, UTF-8, comma-separated: position, name, played, won,\n"
    "               drawn, lost, goals for, goals against, goal difference,\n"
    "               points; blank lines and lines starting with # are skipped.\n"
    "               A missing file gives 404, a malformed one 500.\n"
    "\n"
    "Without --data every association gets a generated league, the same one\n"
    "for the same code every time.\n"
    "\n"
    "stderr: 'scorvane serve: listening on HOST:PORT' at start, then one line\n"
    "per request: METHOD TARGET VERSION \"USER-AGENT\" STATUS (- for a part\n"
    "that is missing).\n";

constexpr size_t kMaxCsvBytes = 4u * 1024u * 1024u;

int stopPipe[2] = {-1, -1};

void OnStopSignal(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] ssize_t ignored = write(stopPipe[1], &byte, 1);
    errno = saved;
}

std::mutex logMutex;

void Log(const std::string& line) {
    std::lock_guard<std::mutex> lock(logMutex);
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
}

// The association code of a standings path, or "" when the path is not one.
std::string CodeOfPath(const std::string& path) {
    const std::string prefix = kStandingsPathPrefix, suffix = kStandingsPathSuffix;
    if (path.size() <= prefix.size() + suffix.size()) return {};
    if (path.compare(0, prefix.size(), prefix) != 0) return {};
    if (path.compare(path.size() - suffix.size(), suffix.size(), suffix) != 0) return {};
    const std::string code = path.substr(prefix.size(), path.size() - prefix.size() - suffix.size());
    return FindAssociationIndex(code.c_str()) >= 0 ? code : std::string();
}

HttpResponse NotFound() {
    return {404, "text/html; charset=iso-8859-1",
            "<html><head><title>404 Not Found</title></head><body><h1>Not Found</h1>"
            "<p>There is no page at this address.</p></body></html>\r\n"};
}

HttpResponse ServerError(const std::string& message) {
    return {500, "text/html; charset=iso-8859-1",
            "<html><head><title>500 Internal Server Error</title></head><body><h1>Internal Server Error</h1><p>" +
                EncodePageText(message) + "</p></body></html>\r\n"};
}

// Reads DIR/CODE.csv; 0 when read, else the status to answer with.
int ReadCsv(const std::string& file, std::string& content, std::string& error) {
    const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = std::strerror(errno);
        return errno == ENOENT ? 404 : 500;
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        error = "not a regular file";
        return 500;
    }
    content.clear();
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = std::strerror(errno);
            close(fd);
            return 500;
        }
        if (n == 0) break;
        content.append(buffer, static_cast<size_t>(n));
        if (content.size() > kMaxCsvBytes) {
            close(fd);
            error = "larger than " + std::to_string(kMaxCsvBytes) + " bytes";
            return 500;
        }
    }
    close(fd);
    return 0;
}

HttpResponse Answer(const HttpRequest& request, const std::string& dataDir) {
    const std::string code = CodeOfPath(request.path);
    if (code.empty()) return NotFound();
    League league;
    if (dataDir.empty()) {
        league = GenerateLeague(code, AssociationNameForCode(code.c_str()));
    } else {
        const std::string file = dataDir + "/" + code + ".csv";
        std::string csv, error;
        const int status = ReadCsv(file, csv, error);
        if (status == 404) {
            Log("scorvane serve: " + file + ": " + error);
            return NotFound();
        }
        if (status == 0 && !ParseLeagueCsv(csv, league, error)) {
            Log("scorvane serve: " + file + ": " + error);
            return ServerError(code + ".csv: " + error);
        }
        if (status != 0) {
            Log("scorvane serve: " + file + ": " + error);
            return ServerError(code + ".csv: " + error);
        }
        league.code = code;
        league.association = AssociationNameForCode(code.c_str());
    }
    return {200, "text/html; charset=iso-8859-1", RenderStandingsPage(league)};
}

int RunServe(int argc, char** argv) {
    ToolArgs args;
    std::string error;
    if (!args.Parse(argc, argv, {{"--bind", true}, {"--port", true}, {"--data", true}}, error)) {
        PrintError("serve", error);
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    if (args.WantsHelp()) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (!args.Operands().empty()) {
        PrintError("serve", "unexpected argument '" + args.Operands().front() + "'");
        return kExitUsage;
    }
    long port = 8080;
    if (args.Has("--port") && !ParseInteger(args.Value("--port"), 0, 65535, port)) {
        PrintError("serve", "port '" + args.Value("--port") + "' is not a number from 0 to 65535");
        return kExitUsage;
    }
    const std::string bind = args.Value("--bind", "127.0.0.1");
    if (bind.empty()) {
        PrintError("serve", "empty bind address");
        return kExitUsage;
    }
    std::string dataDir = args.Value("--data");
    if (args.Has("--data")) {
        struct stat st;
        if (dataDir.empty() || stat(dataDir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            PrintError("serve", "data folder '" + dataDir + "' is not a readable folder");
            return kExitFailure;
        }
        while (dataDir.size() > 1 && dataDir.back() == '/') dataDir.pop_back();
    }

    HttpServer server;
    if (!server.Listen(bind, static_cast<int>(port), error)) {
        PrintError("serve", error);
        return kExitFailure;
    }
    if (pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        PrintError("serve", std::string("cannot create a pipe: ") + std::strerror(errno));
        return kExitFailure;
    }
    struct sigaction action{};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);

    Log("scorvane serve: listening on " + server.BoundAddress());
    const HttpServer::Handler handler = [&dataDir](const HttpRequest& r) { return Answer(r, dataDir); };
    const std::function<void(const std::string&)> log = Log;
    server.Serve(handler, stopPipe[0], log);
    Log("scorvane serve: stopped");
    return 0;
}

}  // namespace

SCORVANE_TOOL_COMMAND(serve, "serve", "serve stand-in standings pages on loopback", RunServe);
