#include "platform/win32/wininet_http_client.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "app/product.h"

namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void Fail(const char* what) {
    throw HttpError(std::string(what) + " (error " + std::to_string(GetLastError()) + ")");
}

// Bounds every blocking step of the exchange on the handle (options set on
// a session are inherited by the connections and requests made from it).
void SetTimeouts(HINTERNET handle, DWORD connectMs, DWORD transferMs) {
    InternetSetOptionA(handle, INTERNET_OPTION_CONNECT_TIMEOUT, &connectMs, sizeof connectMs);
    InternetSetOptionA(handle, INTERNET_OPTION_SEND_TIMEOUT, &transferMs, sizeof transferMs);
    InternetSetOptionA(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &transferMs, sizeof transferMs);
    InternetSetOptionA(handle, INTERNET_OPTION_DATA_SEND_TIMEOUT, &transferMs, sizeof transferMs);
    InternetSetOptionA(handle, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, &transferMs, sizeof transferMs);
}

// Milliseconds left before the deadline; throws once it has passed.
DWORD Remaining(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) throw HttpError("the download took longer than its time limit");
    return static_cast<DWORD>(left);
}

// Where one request of an exchange goes.
struct Target {
    bool secure = false;
    std::string host;
    INTERNET_PORT port = INTERNET_DEFAULT_HTTP_PORT;
    std::string path;  // with the query, without a fragment
};

// An http or https URL split for the connection and the request; false for
// anything else.
bool SplitUrl(const std::string& url, Target& out) {
    if (url.empty() || url.size() > 4096 ||
        std::any_of(url.begin(), url.end(), [](char c) { return static_cast<unsigned char>(c) <= ' '; }))
        return false;
    URL_COMPONENTSA parts = {};
    parts.dwStructSize = sizeof parts;
    // Non-zero lengths with null pointers: the parts are pointed at in `url`.
    parts.dwSchemeLength = 1;
    parts.dwHostNameLength = 1;
    parts.dwUserNameLength = 1;
    parts.dwPasswordLength = 1;
    parts.dwUrlPathLength = 1;
    parts.dwExtraInfoLength = 1;
    if (!InternetCrackUrlA(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts)) return false;
    if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) return false;
    if (!parts.lpszHostName || parts.dwHostNameLength == 0) return false;
    out.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    out.host.assign(parts.lpszHostName, parts.dwHostNameLength);
    out.port = parts.nPort;
    out.path = parts.lpszUrlPath ? std::string(parts.lpszUrlPath, parts.dwUrlPathLength) : std::string();
    if (parts.lpszExtraInfo) out.path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    out.path = out.path.substr(0, out.path.find('#'));
    if (out.path.empty() || out.path[0] != '/') out.path.insert(0, "/");
    return true;
}

bool StartsWithNoCase(const std::string& text, const char* prefix) {
    for (std::size_t i = 0; prefix[i]; ++i)
        if (i >= text.size() || std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    return true;
}

// The URL a Location header names, seen from the request it answered.
std::string ResolveLocation(const Target& from, const std::string& location) {
    if (StartsWithNoCase(location, "http://") || StartsWithNoCase(location, "https://")) return location;
    const std::string scheme = from.secure ? "https:" : "http:";
    if (location.compare(0, 2, "//") == 0) return scheme + location;
    const bool ipv6 = from.host.find(':') != std::string::npos;
    const std::string origin =
        scheme + "//" + (ipv6 ? "[" + from.host + "]" : from.host) + ":" + std::to_string(from.port);
    if (!location.empty() && location[0] == '/') return origin + location;
    const std::string path = from.path.substr(0, from.path.find('?'));
    return origin + path.substr(0, path.rfind('/') + 1) + location;
}

// A response header as the server sent it; "" when there is none.
std::string QueryText(HINTERNET request, DWORD info) {
    std::string text(256, '\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        DWORD size = static_cast<DWORD>(text.size());
        if (HttpQueryInfoA(request, info, text.data(), &size, nullptr)) {
            text.resize(size);
            return text;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size > 65536) break;
        text.assign(size + 1, '\0');
    }
    return {};
}

bool IsRedirect(DWORD status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// What one call asks of the exchange.
struct Plan {
    Target target;
    const char* version = nullptr;  // null: WinINet's own, HTTP/1.1
    DWORD flags = 0;                // for every request, besides INTERNET_FLAG_SECURE
    std::string headers;            // extra request headers, each ending in CRLF
    int maxRedirects = 0;           // 0: a redirect's status is the answer
    DWORD connectTimeoutMs = 0;
    std::size_t maxBodyBytes = 0;
};

// One exchange, carried out on a thread of its own while the caller waits
// with the deadline. WinINet's time-outs hold per read only, so a server
// that sends a byte now and then keeps a blocking call going for ever; the
// caller therefore gives up at the deadline by itself, closes the handles
// (which makes a blocking call on them return where the system supports
// that) and leaves the thread to end on its own. Everything the thread
// touches lives here, shared, so that it may outlive the call.
class Exchange {
public:
    enum Slot { kSession, kConnection, kRequest, kSlots };

    // Takes a handle just opened into the exchange; one opened after the
    // caller gave up is closed at once.
    HINTERNET Adopt(Slot slot, HINTERNET handle) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (abandoned_) {
            if (handle) InternetCloseHandle(handle);
            throw HttpError("the download took longer than its time limit");
        }
        handles_[slot] = handle;
        return handle;
    }

    // Closes the handles from `slot` down, before a redirect opens new ones.
    void CloseFrom(Slot slot) {
        std::lock_guard<std::mutex> lock(mutex_);
        CloseHandles(slot);
    }

    // Called by the exchange thread last of all.
    void Finish() {
        std::lock_guard<std::mutex> lock(mutex_);
        CloseHandles();
        finished_ = true;
        done_.notify_all();
    }

    // True when the exchange finished in time; otherwise it is abandoned.
    bool WaitUntil(Clock::time_point deadline) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (done_.wait_until(lock, deadline, [this] { return finished_; })) return true;
        abandoned_ = true;
        CloseHandles();
        return false;
    }

    // Written by the exchange thread before Finish, read by the caller after.
    int status = 0;
    std::string body;
    std::string etag;
    std::string lastModified;
    std::exception_ptr error;

private:
    // Children first; each handle is closed once, by whichever side comes first.
    void CloseHandles(Slot from = kSession) {
        for (int slot = kSlots - 1; slot >= from; --slot) {
            if (handles_[slot]) InternetCloseHandle(handles_[slot]);
            handles_[slot] = nullptr;
        }
    }

    std::mutex mutex_;
    std::condition_variable done_;
    bool finished_ = false;
    bool abandoned_ = false;
    HINTERNET handles_[kSlots] = {};
};

void ReadBody(HINTERNET request, const Plan& plan, Clock::time_point deadline, std::string& body) {
    DWORD contentLength = 0;
    DWORD size = sizeof contentLength;
    const bool haveLength =
        HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &contentLength, &size, nullptr) !=
        FALSE;
    if (haveLength && contentLength > plan.maxBodyBytes) throw HttpError("the body is larger than allowed");

    char buffer[16384];
    for (;;) {
        // A synchronous read waits until its buffer is full, so a server that
        // trickles its body would hold it long after the deadline: ask what
        // has arrived and read only that.
        DWORD left = Remaining(deadline);
        InternetSetOptionA(request, INTERNET_OPTION_RECEIVE_TIMEOUT, &left, sizeof left);
        DWORD available = 0;
        if (!InternetQueryDataAvailable(request, &available, 0, 0)) Fail("cannot read the body");
        if (available == 0) break;
        DWORD got = 0;
        const DWORD want = std::min<DWORD>(available, sizeof buffer);
        if (!InternetReadFile(request, buffer, want, &got)) Fail("cannot read the body");
        if (got == 0) break;
        if (got > plan.maxBodyBytes - body.size()) throw HttpError("the body is larger than allowed");
        body.append(buffer, got);
    }
    if (haveLength && body.size() != contentLength) throw HttpError("the body was cut short");
}

void RunExchange(Exchange& ex, const Plan& plan, Clock::time_point deadline) {
    HINTERNET session =
        ex.Adopt(Exchange::kSession, InternetOpenA(kProductTag, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session) Fail("cannot open an Internet session");
    DWORD left = Remaining(deadline);
    SetTimeouts(session, std::min(plan.connectTimeoutMs, left), left);

    Target target = plan.target;
    for (int redirects = 0;; ++redirects) {
        HINTERNET connection = ex.Adopt(
            Exchange::kConnection, InternetConnectA(session, target.host.c_str(), target.port, nullptr, nullptr,
                                                    INTERNET_SERVICE_HTTP, 0, 1));
        if (!connection) Fail("cannot open a connection");

        const DWORD flags = plan.flags | (target.secure ? INTERNET_FLAG_SECURE : 0);
        HINTERNET request = ex.Adopt(Exchange::kRequest, HttpOpenRequestA(connection, "GET", target.path.c_str(),
                                                                          plan.version, nullptr, nullptr, flags, 1));
        if (!request) Fail("cannot open the request");
        left = Remaining(deadline);
        SetTimeouts(request, std::min(plan.connectTimeoutMs, left), left);

        if (!HttpSendRequestA(request, plan.headers.empty() ? nullptr : plan.headers.c_str(),
                              static_cast<DWORD>(plan.headers.size()), nullptr, 0))
            Fail("cannot send the request");
        Remaining(deadline);

        DWORD status = 0;
        DWORD size = sizeof status;
        HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr);
        ex.status = static_cast<int>(status);
        if (IsRedirect(status) && plan.maxRedirects > 0) {
            if (redirects == plan.maxRedirects) throw HttpError("too many redirects");
            const std::string location = QueryText(request, HTTP_QUERY_LOCATION);
            Target next;
            if (location.empty() || !SplitUrl(ResolveLocation(target, location), next))
                throw HttpError("a redirect to no http or https address");
            if (target.secure && !next.secure) throw HttpError("a redirect from https to plain http");
            target = std::move(next);
            ex.CloseFrom(Exchange::kConnection);
            continue;
        }
        ex.etag = QueryText(request, HTTP_QUERY_ETAG);
        ex.lastModified = QueryText(request, HTTP_QUERY_LAST_MODIFIED);
        if (status == 200) {
            ReadBody(request, plan, deadline, ex.body);
            Remaining(deadline);
        }
        return;
    }
}

// Carries out `plan` on a worker thread; throws HttpError when it failed or
// did not end by `timeoutMs` from now.
std::shared_ptr<Exchange> Perform(Plan plan, DWORD timeoutMs) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    auto exchange = std::make_shared<Exchange>();
    std::thread worker([exchange, plan = std::move(plan), deadline] {
        try {
            RunExchange(*exchange, plan, deadline);
        } catch (...) {
            exchange->error = std::current_exception();
        }
        exchange->Finish();
    });
    if (!exchange->WaitUntil(deadline)) {
        worker.detach();
        throw HttpError("the download took longer than its time limit");
    }
    worker.join();
    if (exchange->error) std::rethrow_exception(exchange->error);
    return exchange;
}

// A validator goes into the request head as it is: one that could end its
// line is left out, and the file is then asked for whole.
void AddHeader(std::string& headers, const char* name, const std::string& value) {
    if (value.empty() || value.size() > 1024 ||
        std::any_of(value.begin(), value.end(), [](char c) { return c == '\r' || c == '\n' || c == '\0'; }))
        return;
    headers += std::string(name) + ": " + value + "\r\n";
}

}  // namespace

WinInetHttpClient::WinInetHttpClient(WinInetLimits limits) : limits_(limits) {}

FileResponse WinInetHttpClient::GetFile(const FileRequest& request) {
    Plan plan;
    if (!SplitUrl(request.url, plan.target)) throw HttpError("not an http or https address: " + request.url);
    if (request.timeoutMs <= 0) throw HttpError("no time left for " + request.url);
    // Asked of the server every time, and never kept by WinINet: a 304 must
    // reach the caller as it came (only the caller holds the copy it
    // validates), and a 200 must be the server's own.
    plan.flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE |
                 INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_UI;
    AddHeader(plan.headers, "If-None-Match", request.ifNoneMatch);
    AddHeader(plan.headers, "If-Modified-Since", request.ifModifiedSince);
    // Followed here rather than by WinINet, so that their number is bounded
    // and each one is checked.
    plan.maxRedirects = kMaxFileRedirects;
    plan.connectTimeoutMs = limits_.connectTimeoutMs;
    plan.maxBodyBytes = std::min(request.maxBodyBytes, limits_.maxBodyBytes);
    const DWORD timeoutMs = std::min<DWORD>(static_cast<DWORD>(request.timeoutMs), limits_.transferTimeoutMs);

    const auto exchange = Perform(std::move(plan), timeoutMs);
    FileResponse response;
    response.status = exchange->status;
    response.body = std::move(exchange->body);
    response.etag = std::move(exchange->etag);
    response.lastModified = std::move(exchange->lastModified);
    return response;
}

int WinInetHttpClient::Get(const std::string& host, int port, const std::string& path, std::string& body) {
    body.clear();
    if (port <= 0 || port > 65535) throw HttpError("port out of range");
    Plan plan;
    plan.target.host = host;
    plan.target.port = static_cast<INTERNET_PORT>(port);
    plan.target.path = path;
    plan.version = "HTTP/1.0";
    // A cached copy would show yesterday's table: always ask the server.
    // A redirect is not followed (a server that sends the client round in
    // circles would hold it until the deadline): its status is the answer.
    plan.flags = INTERNET_FLAG_EXISTING_CONNECT | INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                 INTERNET_FLAG_NO_AUTO_REDIRECT;
    plan.connectTimeoutMs = limits_.connectTimeoutMs;
    plan.maxBodyBytes = limits_.maxBodyBytes;

    const auto exchange = Perform(std::move(plan), limits_.transferTimeoutMs);
    body = std::move(exchange->body);
    return exchange->status;
}
