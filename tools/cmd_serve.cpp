// scorvane serve: the outside standings site, live: real tables from match
// results, 404 where there are none (made-up leagues only when asked for).
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include "app/association_table.h"
#include "app/startup.h"
#include "tools/http_server.h"
#include "tools/league_site.h"
#include "tools/results_site.h"
#include "tools/site_assets.h"
#include "tools/tool_command.h"
#include "tools/tool_util.h"

namespace {

const char kUsageHead[] =
    "usage: scorvane serve [--bind ADDR] [--port N] [--max-connections N]\n"
    "                      [--results SRC] [--season S] [--adjust FILE]\n"
    "                      [--names FILE] [--leagues FILE] [--refresh MINUTES]\n"
    "                      [--made-up]\n"
    "       scorvane serve [--bind ADDR] [--port N] [--max-connections N]\n"
    "                      --data DIR\n"
    "\n"
    "Serves the standings page of every association whose league the results\n"
    "have at\n"
    "  /associations/association=CODE/nationalleague/standings.html\n"
    "and beside it the league's fixtures and results (fixtures.html) and the\n"
    "association's page (/associations/association=CODE/); at / and\n"
    "/index.html the associations with a table and those without one, and\n"
    "the date of the newest result; the style sheet and the logo under\n"
    "/static/; 404 for anything else, until interrupted (SIGINT or SIGTERM).\n"
    "Pages carry Last-Modified, ETag and Cache-Control; conditional requests\n"
    "are answered 304. Each page is made when its table changes and answered\n"
    "from memory.\n"
    "\n"
    "  --bind ADDR      address to listen on (default 127.0.0.1)\n"
    "  --port N         port to listen on, 0 for any free one (default 8080)\n"
    "  --max-connections N  connections served at once, from 1 to 4096\n"
    "                   (default 64); a client beyond them is answered 503\n"
    "                   with Retry-After. A connection has 10 s from its\n"
    "                   start, and again from each answer, to its next\n"
    "                   answer; HTTP/1.1 clients keep theirs open between\n"
    "                   requests, HTTP/1.0 ones are closed after one.\n";
const char kUsageTail[] =
    "  --refresh MINUTES  read the results again this often (default 60; may\n"
    "                   be a fraction; 0 never). A failed refresh keeps the\n"
    "                   table read before and says so on stderr. Files over\n"
    "                   the network are kept under $XDG_CACHE_HOME/scorvane.\n"
    "  --made-up        a made-up league for every association without\n"
    "                   results, the same one for the same code every time\n"
    "                   (for demonstrations and tests), instead of 404: its\n"
    "                   standings page alone\n"
    "  --only-real      404 for associations without results: the default;\n"
    "                   still accepted\n"
    "  --data DIR       serve DIR/CODE.csv instead: one team a line, UTF-8,\n"
    "                   comma-separated: position, name, played, won, drawn,\n"
    "                   lost, goals for, goals against, goal difference,\n"
    "                   points; blank lines and lines starting with # are\n"
    "                   skipped. A missing file gives 404, a malformed one 500;\n"
    "                   Last-Modified is the file's. / lists the files' pages.\n"
    "\n"
    "Over the network the site answers from its first request: with the copies\n"
    "cached earlier, else the snapshot that comes with the tool, until the\n"
    "source has answered.\n"
    "\n"
    "stderr: 'scorvane serve: listening on HOST:PORT' at start, once the\n"
    "source has been read one line per league saying which table it serves,\n"
    "then one line per request: METHOD TARGET VERSION \"USER-AGENT\" STATUS\n"
    "(- for a part that is missing).\n";

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

// The pages of an association, by what follows its folder.
enum class LeaguePage { None, Standings, Fixtures, Association };

// Which page of which association a path asks for; None when it is no
// association's page.
LeaguePage PageOfPath(const std::string& path, std::string& code) {
    const std::string prefix = kStandingsPathPrefix;
    if (path.compare(0, prefix.size(), prefix) != 0) return LeaguePage::None;
    const std::size_t slash = path.find('/', prefix.size());
    if (slash == std::string::npos) return LeaguePage::None;
    code = path.substr(prefix.size(), slash - prefix.size());
    if (code.empty() || FindAssociationIndex(code.c_str()) < 0) return LeaguePage::None;
    const std::string rest = path.substr(slash);
    if (rest == kStandingsPathSuffix) return LeaguePage::Standings;
    if (rest == "/nationalleague/fixtures.html") return LeaguePage::Fixtures;
    if (rest == "/" || rest == "/index.html") return LeaguePage::Association;
    return LeaguePage::None;
}

HttpResponse NotFound() {
    static const std::shared_ptr<const PreparedResponse> page = PreparedResponse::Make(
        {404, "text/html; charset=iso-8859-1",
         "<html><head><title>404 Not Found</title></head><body><h1>Not Found</h1>"
         "<p>There is no page at this address.</p></body></html>\r\n",
         {}, {}});
    HttpResponse r;
    r.prepared = page;
    return r;
}

HttpResponse ServerError(const std::string& message) {
    return {500, "text/html; charset=iso-8859-1",
            "<html><head><title>500 Internal Server Error</title></head><body><h1>Internal Server Error</h1><p>" +
                EncodePageText(message) + "</p></body></html>\r\n",
            {}, {}};
}

// Reads DIR/CODE.csv and when it last changed; 0 when read, else the status
// to answer with.
int ReadCsv(const std::string& file, std::string& content, std::time_t& modified, std::string& error) {
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
    modified = st.st_mtime;
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

std::string EntityTag(const std::string& body) {
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (unsigned char c : body) h = (h ^ c) * 0x100000001b3ull;
    char text[24];
    std::snprintf(text, sizeof text, "\"%016llx\"", static_cast<unsigned long long>(h));
    return text;
}

// A page as it goes out: its answer and its 304 made once, with the
// headers that let a cache in front keep it, and shared by every request
// until the table changes.
struct Page {
    std::string body;
    std::string etag;
    std::time_t modified = 0;
    std::shared_ptr<const PreparedResponse> ok;
    std::shared_ptr<const PreparedResponse> notModified;
};
using PagePtr = std::shared_ptr<const Page>;

PagePtr MakePage(std::string body, std::time_t modified, const char* contentType = "text/html; charset=iso-8859-1",
                 const char* cacheControl = "public, max-age=60") {
    auto p = std::make_shared<Page>();
    p->etag = EntityTag(body);
    p->modified = modified;
    HttpResponse r{200, contentType, std::move(body), {}, {}};
    r.headers = {{"ETag", p->etag}, {"Last-Modified", HttpDate(modified)}, {"Cache-Control", cacheControl}};
    p->ok = PreparedResponse::Make(r);
    p->body = std::move(r.body);
    r.status = 304;
    r.body.clear();
    p->notModified = PreparedResponse::Make(r);
    return p;
}

bool TagListed(const std::string& header, const std::string& etag) {
    if (header.find('*') != std::string::npos) return true;
    // Weak comparison: W/"x" matches "x".
    std::size_t from = 0;
    while ((from = header.find('"', from)) != std::string::npos) {
        const std::size_t end = header.find('"', from + 1);
        if (end == std::string::npos) break;
        if (header.compare(from, end - from + 1, etag) == 0) return true;
        from = end + 1;
    }
    return false;
}

// The page, or 304 when the client's copy is still good.
HttpResponse Cached(const HttpRequest& request, const Page& page) {
    bool fresh = false;
    if (!request.ifNoneMatch.empty()) {
        fresh = TagListed(request.ifNoneMatch, page.etag);
    } else if (!request.ifModifiedSince.empty()) {
        const std::time_t since = ParseHttpDate(request.ifModifiedSince);
        fresh = since >= 0 && page.modified <= since;
    }
    HttpResponse r;
    r.prepared = fresh ? page.notModified : page.ok;
    return r;
}

// The real tables being served and the thread that reads them again.
class RealSite {
public:
    RealSite(ResultsOptions options, bool madeUp, double refreshMinutes)
        : reader_(std::move(options)), madeUp_(madeUp), refreshMinutes_(refreshMinutes) {}

    ~RealSite() { Stop(); }

    // Reads every league once without a request: the folder, or the copies
    // cached earlier and the bundled snapshot, so that the site answers
    // with real tables from its first request even with no network at all;
    // the network follows in the refresh thread.
    void Start() {
        Apply(reader_.LoadAll(ResultsReader::Mode::Offline), Pass::Start);
        if (reader_.Options().IsUrl() || refreshMinutes_ > 0) worker_ = std::thread([this] { Run(); });
    }

    void Stop() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        reader_.Download().cancel = true;
        wake_.notify_all();
        if (worker_.joinable()) worker_.join();
    }

    // Null when the code has no real table.
    PagePtr Find(const std::string& code, LeaguePage which) {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto found = served_.find(code);
        if (found == served_.end()) return nullptr;
        switch (which) {
            case LeaguePage::Standings: return found->second.page;
            case LeaguePage::Fixtures: return found->second.fixtures;
            case LeaguePage::Association: return found->second.association;
            case LeaguePage::None: break;
        }
        return nullptr;
    }

    PagePtr Index() {
        std::lock_guard<std::mutex> lock(mutex_);
        return index_;
    }

    // The same league for the same code in every run: its page changed
    // when the program did, and is made on its first request.
    PagePtr MadeUpPage(const std::string& code, std::time_t started) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            const auto found = madeUpPages_.find(code);
            if (found != madeUpPages_.end()) return found->second;
        }
        PagePtr page =
            MakePage(RenderStandingsPage(GenerateLeague(code, AssociationNameForCode(code.c_str()))), started);
        std::lock_guard<std::mutex> lock(mutex_);
        return madeUpPages_.emplace(code, std::move(page)).first->second;
    }

    bool MadeUp() const { return madeUp_; }

private:
    // The first read from a network source settles what a league is served
    // from, and each league says so once; later ones speak of changes and
    // failures only.
    enum class Pass { Start, FirstFromNetwork, Again };

    struct Served {
        RealLeague league;
        PagePtr page;  // the standings
        PagePtr fixtures;
        PagePtr association;
    };

    // The page made anew, or the one served so far when its text is the
    // same, so that its validators stay.
    static PagePtr Renew(const PagePtr& had, std::string body, std::time_t now) {
        return had && had->body == body ? had : MakePage(std::move(body), now);
    }

    void Run() {
        bool first = reader_.Options().IsUrl();
        for (;;) {
            if (!first) {
                std::unique_lock<std::mutex> lock(mutex_);
                if (refreshMinutes_ <= 0) wake_.wait(lock, [this] { return stopping_; });
                else wake_.wait_for(lock, std::chrono::duration<double>(refreshMinutes_ * 60), [this] { return stopping_; });
                if (stopping_) return;
            }
            const Pass pass = first ? Pass::FirstFromNetwork : Pass::Again;
            first = false;
            Apply(reader_.LoadAll(ResultsReader::Mode::Source), pass);
            std::lock_guard<std::mutex> lock(mutex_);
            if (stopping_) return;
        }
    }

    static std::string Describe(const Served& s) {
        return s.league.from == RealLeague::From::Source ? "the table of " + HttpDate(s.page->modified)
                                                         : DescribeOrigin(s.league);
    }

    void Apply(const std::vector<ResultsReader::Read>& reads, Pass pass) {
        const std::time_t now = std::time(nullptr);
        const std::vector<LeagueMapping>& map = reader_.Options().map;
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) return;
        for (std::size_t i = 0; i < reads.size(); ++i) {
            const ResultsReader::Read& read = reads[i];
            const std::string& code = map[i].code;
            const auto had = served_.find(code);
            if (read.status == ResultsReader::Status::Loaded) {
                std::string body = RenderStandingsPage(read.league.league);
                const bool changed = had == served_.end() || had->second.page->body != body;
                if (pass != Pass::Start) {
                    if (had == served_.end() || had->second.league.from != read.league.from)
                        Log("scorvane serve: " + code + ": table from " + DescribeOrigin(read.league));
                    else if (changed)
                        Log("scorvane serve: " + code + ": new table from " + read.league.origin);
                }
                const bool seen = had != served_.end();
                Served s{read.league, changed ? MakePage(std::move(body), now) : had->second.page,
                         Renew(seen ? had->second.fixtures : nullptr, RenderFixturesPage(read.league), now),
                         Renew(seen ? had->second.association : nullptr, RenderAssociationPage(read.league), now)};
                served_[code] = std::move(s);
                continue;
            }
            // Before the network has been asked, a league without a copy
            // has nothing to say yet; a broken file of a folder has.
            if (read.error.empty() || (pass == Pass::Start && reader_.Options().IsUrl())) continue;
            if (had != served_.end()) {
                if (pass == Pass::FirstFromNetwork && had->second.league.from != RealLeague::From::Source)
                    Log("scorvane serve: " + code + ": " + read.error + "; serving " + Describe(had->second));
                else
                    Log("scorvane serve: " + code + ": refresh failed: " + read.error + "; still serving " +
                        Describe(had->second));
            } else if (pass == Pass::FirstFromNetwork || read.status == ResultsReader::Status::Failed) {
                const char* instead = madeUp_                         ? "; serving a made-up league"
                                      : reader_.Options().IsUrl() ? "; nothing cached or bundled: not served"
                                                                  : "; not served";
                Log("scorvane serve: " + code + ": " + read.error + instead);
            }
        }
        std::vector<RealLeague> all;
        for (const LeagueMapping& m : map) {
            if (const auto found = served_.find(m.code); found != served_.end()) all.push_back(found->second.league);
        }
        std::string body = RenderIndexPage(all, madeUp_);
        if (!index_ || body != index_->body) index_ = MakePage(std::move(body), now);
    }

    ResultsReader reader_;
    const bool madeUp_;
    const double refreshMinutes_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::map<std::string, Served> served_;
    PagePtr index_;
    std::map<std::string, PagePtr> madeUpPages_;
    std::thread worker_;
};

// The pages of a --data folder, made again when a file's content or time
// changes: the file is read for every request, the page is not.
class CsvPages {
public:
    explicit CsvPages(std::string folder) : folder_(std::move(folder)) {}

    // The front page: a link to the page of every association whose file
    // reads as a table, as the folder holds them now. A broken file is the
    // operator's to mend; its page says why when asked for.
    HttpResponse Index(const HttpRequest& request) {
        std::set<std::string> files;
        if (DIR* d = opendir(folder_.c_str())) {
            while (dirent* e = readdir(d)) {
                const std::string name = e->d_name;
                if (name.size() > 4 && name.compare(name.size() - 4, 4, ".csv") == 0)
                    files.insert(name.substr(0, name.size() - 4));
            }
            closedir(d);
        }
        std::vector<std::string> codes;
        for (const AssociationEntry* a = AssociationTable; a->code != nullptr; ++a) {
            if (files.count(a->code) == 0) continue;
            std::string csv, error;
            std::time_t modified = 0;
            League league;
            if (ReadCsv(folder_ + "/" + a->code + ".csv", csv, modified, error) == 0 &&
                ParseLeagueCsv(csv, league, error))
                codes.push_back(a->code);
        }
        std::string body = RenderOwnIndexPage(codes);
        std::lock_guard<std::mutex> lock(mutex_);
        if (!index_ || index_->body != body) index_ = MakePage(std::move(body), std::time(nullptr));
        return Cached(request, *index_);
    }

    HttpResponse Answer(const HttpRequest& request, const std::string& code) {
        const std::string file = folder_ + "/" + code + ".csv";
        std::string csv, error;
        std::time_t modified = 0;
        const int status = ReadCsv(file, csv, modified, error);
        if (status == 404) {
            Log("scorvane serve: " + file + ": " + error);
            return NotFound();
        }
        if (status != 0) {
            Log("scorvane serve: " + file + ": " + error);
            return ServerError(code + ".csv: " + error);
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            const auto found = pages_.find(code);
            if (found != pages_.end() && found->second.csv == csv && found->second.page->modified == modified)
                return Cached(request, *found->second.page);
        }
        League league;
        if (!ParseLeagueCsv(csv, league, error)) {
            Log("scorvane serve: " + file + ": " + error);
            return ServerError(code + ".csv: " + error);
        }
        league.code = code;
        league.association = AssociationNameForCode(code.c_str());
        // The page is the file's: it changed when the file did, whenever the
        // server started.
        PagePtr page = MakePage(RenderStandingsPage(league), modified);
        std::lock_guard<std::mutex> lock(mutex_);
        pages_[code] = Entry{std::move(csv), page};
        return Cached(request, *page);
    }

private:
    struct Entry {
        std::string csv;
        PagePtr page;
    };
    const std::string folder_;
    std::mutex mutex_;
    std::map<std::string, Entry> pages_;
    PagePtr index_;
};

// The style sheet and the logo, by their paths, made once.
using Assets = std::map<std::string, PagePtr>;

Assets MakeAssets(std::time_t started) {
    Assets assets;
    for (const SiteAsset& a : SiteAssets())
        assets["/" + std::string(a.path)] = MakePage(std::string(a.body), started, a.contentType, "public, max-age=3600");
    return assets;
}

HttpResponse Answer(const HttpRequest& request, CsvPages* csv, RealSite* site, const Assets& assets,
                    std::time_t started) {
    // A query changes no page: a shared link may carry one.
    const std::string path = request.path.substr(0, request.path.find('?'));
    if (path == "/" || path == "/index.html") return site != nullptr ? Cached(request, *site->Index()) : csv->Index(request);
    if (const auto asset = assets.find(path); asset != assets.end()) return Cached(request, *asset->second);
    std::string code;
    const LeaguePage which = PageOfPath(path, code);
    if (which == LeaguePage::None) return NotFound();
    // Leagues of CSV files and made-up ones have their standings alone.
    if (site == nullptr) return which == LeaguePage::Standings ? csv->Answer(request, code) : NotFound();
    if (const PagePtr page = site->Find(code, which)) return Cached(request, *page);
    if (!site->MadeUp() || which != LeaguePage::Standings) return NotFound();
    return Cached(request, *site->MadeUpPage(code, started));
}

int RunServe(int argc, char** argv) {
    ToolArgs args;
    const std::string usage = std::string(kUsageHead) + kResultsOptionsHelp + kUsageTail;
    const int status = ParseCommandLine(args, "serve", argc, argv,
                                        {{"--bind", true},
                                         {"--port", true},
                                         {"--max-connections", true},
                                         {"--data", true},
                                         {"--results", true},
                                         {"--season", true},
                                         {"--adjust", true},
                                         {"--names", true},
                                         {"--leagues", true},
                                         {"--refresh", true},
                                         {"--made-up", false},
                                         {"--only-real", false}},
                                        usage);
    if (status >= 0) return status;
    std::string error;
    if (!args.Operands().empty()) {
        PrintError("serve", "unexpected argument '" + args.Operands().front() + "'");
        return kExitUsage;
    }
    long port = 8080;
    if (args.Has("--port") && !ParseInteger(args.Value("--port"), 0, 65535, port)) {
        PrintError("serve", "port '" + args.Value("--port") + "' is not a number from 0 to 65535");
        return kExitUsage;
    }
    long maxConnections = HttpServer::kDefaultMaxConnections;
    if (args.Has("--max-connections") &&
        !ParseInteger(args.Value("--max-connections"), 1, HttpServer::kMaxMaxConnections, maxConnections)) {
        PrintError("serve", "connection limit '" + args.Value("--max-connections") + "' is not a number from 1 to " +
                                std::to_string(HttpServer::kMaxMaxConnections));
        return kExitUsage;
    }
    const std::string bind = args.Value("--bind", "127.0.0.1");
    if (bind.empty()) {
        PrintError("serve", "empty bind address");
        return kExitUsage;
    }
    const bool resultsGiven = args.Has("--results") || args.Has("--season") || args.Has("--adjust") ||
                              args.Has("--names") || args.Has("--leagues") || args.Has("--refresh") ||
                              args.Has("--only-real") || args.Has("--made-up");
    if (args.Has("--data") && resultsGiven) {
        PrintError("serve", "--data cannot be combined with the options of --results");
        return kExitUsage;
    }
    if (args.Has("--made-up") && args.Has("--only-real")) {
        PrintError("serve", "--made-up and --only-real cannot be combined");
        return kExitUsage;
    }
    double refresh = 60;
    if (args.Has("--refresh")) {
        const std::string text = args.Value("--refresh");
        char* end = nullptr;
        refresh = std::strtod(text.c_str(), &end);
        if (text.empty() || end == nullptr || *end != '\0' || !(refresh >= 0) || refresh > 525600) {
            PrintError("serve", "refresh '" + text + "' is not a number of minutes from 0 to 525600");
            return kExitUsage;
        }
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
    std::unique_ptr<RealSite> site;
    if (!args.Has("--data")) {
        ResultsOptions options;
        if (!ReadResultsOptions(args, options, error)) {
            PrintError("serve", error);
            return kExitFailure;
        }
        site = std::make_unique<RealSite>(std::move(options), args.Has("--made-up"), refresh);
    }

    HttpServer server(static_cast<int>(maxConnections));
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

    if (site) site->Start();
    Log("scorvane serve: listening on " + server.BoundAddress());
    const std::time_t started = std::time(nullptr);
    RealSite* real = site.get();
    CsvPages csv(dataDir);
    const Assets assets = MakeAssets(started);
    const HttpServer::Handler handler = [&csv, real, &assets, started](const HttpRequest& r) {
        return Answer(r, &csv, real, assets, started);
    };
    const HttpServer::Log log = Log;
    const bool served = server.Serve(handler, stopPipe[0], log, error);
    if (site) site->Stop();
    if (!served) {
        PrintError("serve", error);
        return kExitFailure;
    }
    Log("scorvane serve: stopped");
    return 0;
}

}  // namespace

SCORVANE_TOOL_COMMAND(serve, "serve", "serve standings pages: real tables from match results, or CSV files",
                      RunServe);
