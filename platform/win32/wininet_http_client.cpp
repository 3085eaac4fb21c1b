#include "platform/win32/wininet_http_client.h"

#include <algorithm>
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
    std::exception_ptr error;

private:
    // Children first; each handle is closed once, by whichever side comes first.
    void CloseHandles() {
        for (int slot = kSlots - 1; slot >= 0; --slot) {
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

int RunExchange(Exchange& ex, const WinInetLimits& limits, Clock::time_point deadline, const std::string& host,
                int port, const std::string& path) {
    std::string& body = ex.body;
    HINTERNET session =
        ex.Adopt(Exchange::kSession, InternetOpenA(kProductTag, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session) Fail("cannot open an Internet session");
    DWORD left = Remaining(deadline);
    SetTimeouts(session, std::min(limits.connectTimeoutMs, left), left);

    HINTERNET connection =
        ex.Adopt(Exchange::kConnection, InternetConnectA(session, host.c_str(), static_cast<INTERNET_PORT>(port),
                                                         nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 1));
    if (!connection) Fail("cannot open a connection");

    // A cached copy would show yesterday's table: always ask the server.
    // A redirect is not followed (a server that sends the client round in
    // circles would hold it until the deadline): its status is the answer.
    const DWORD flags = INTERNET_FLAG_EXISTING_CONNECT | INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                        INTERNET_FLAG_NO_AUTO_REDIRECT;
    HINTERNET request = ex.Adopt(Exchange::kRequest, HttpOpenRequestA(connection, "GET", path.c_str(), "HTTP/1.0",
                                                                      nullptr, nullptr, flags, 1));
    if (!request) Fail("cannot open the request");
    left = Remaining(deadline);
    SetTimeouts(request, std::min(limits.connectTimeoutMs, left), left);

    if (!HttpSendRequestA(request, nullptr, 0, nullptr, 0)) Fail("cannot send the request");
    Remaining(deadline);

    DWORD status = 0;
    DWORD size = sizeof status;
    HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr);
    if (status != 200) return static_cast<int>(status);

    DWORD contentLength = 0;
    size = sizeof contentLength;
    const bool haveLength =
        HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &contentLength, &size, nullptr) !=
        FALSE;
    if (haveLength && contentLength > limits.maxBodyBytes) throw HttpError("the page is larger than allowed");

    char buffer[16384];
    for (;;) {
        // A synchronous read waits until its buffer is full, so a server that
        // trickles its body would hold it long after the deadline: ask what
        // has arrived and read only that.
        left = Remaining(deadline);
        InternetSetOptionA(request, INTERNET_OPTION_RECEIVE_TIMEOUT, &left, sizeof left);
        DWORD available = 0;
        if (!InternetQueryDataAvailable(request, &available, 0, 0)) Fail("cannot read the page");
        if (available == 0) break;
        DWORD got = 0;
        const DWORD want = std::min<DWORD>(available, sizeof buffer);
        if (!InternetReadFile(request, buffer, want, &got)) Fail("cannot read the page");
        if (got == 0) break;
        if (got > limits.maxBodyBytes - body.size()) throw HttpError("the page is larger than allowed");
        body.append(buffer, got);
    }
    if (haveLength && body.size() != contentLength) throw HttpError("the page was cut short");
    Remaining(deadline);
    return static_cast<int>(status);
}

}  // namespace

WinInetHttpClient::WinInetHttpClient(WinInetLimits limits) : limits_(limits) {}

int WinInetHttpClient::Get(const std::string& host, int port, const std::string& path, std::string& body) {
    body.clear();
    if (port <= 0 || port > 65535) throw HttpError("port out of range");
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(limits_.transferTimeoutMs);

    auto exchange = std::make_shared<Exchange>();
    std::thread worker([exchange, limits = limits_, deadline, host, port, path] {
        try {
            exchange->status = RunExchange(*exchange, limits, deadline, host, port, path);
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
    body = std::move(exchange->body);
    return exchange->status;
}
