#include "platform/win32/wininet_http_client.h"

#include <algorithm>
#include <string>

#include "app/product.h"

namespace {

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

}  // namespace

WinInetHttpClient::WinInetHttpClient(WinInetLimits limits) : limits_(limits) {}

DWORD WinInetHttpClient::Remaining(Clock::time_point deadline) const {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) throw HttpError("the download took longer than its time limit");
    return static_cast<DWORD>(left);
}

int WinInetHttpClient::Get(const std::string& host, int port, const std::string& path, std::string& body) {
    body.clear();
    if (port <= 0 || port > 65535) throw HttpError("port out of range");
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(limits_.transferTimeoutMs);

    InternetHandle session(InternetOpenA(kProductTag, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session) Fail("cannot open an Internet session");
    DWORD left = Remaining(deadline);
    SetTimeouts(session.get(), std::min(limits_.connectTimeoutMs, left), left);

    InternetHandle connection(InternetConnectA(session.get(), host.c_str(), static_cast<INTERNET_PORT>(port),
                                               nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 1));
    if (!connection) Fail("cannot open a connection");

    // A cached copy would show yesterday's table: always ask the server.
    const DWORD flags = INTERNET_FLAG_EXISTING_CONNECT | INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;
    InternetHandle request(HttpOpenRequestA(connection.get(), "GET", path.c_str(), "HTTP/1.0", nullptr, nullptr,
                                            flags, 1));
    if (!request) Fail("cannot open the request");
    left = Remaining(deadline);
    SetTimeouts(request.get(), std::min(limits_.connectTimeoutMs, left), left);

    if (!HttpSendRequestA(request.get(), nullptr, 0, nullptr, 0)) Fail("cannot send the request");

    DWORD status = 0;
    DWORD size = sizeof status;
    HttpQueryInfoA(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr);
    if (status != 200) return static_cast<int>(status);

    DWORD contentLength = 0;
    size = sizeof contentLength;
    const bool haveLength = HttpQueryInfoA(request.get(), HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER,
                                           &contentLength, &size, nullptr) != FALSE;
    if (haveLength && contentLength > limits_.maxBodyBytes) throw HttpError("the page is larger than allowed");

    char buffer[16384];
    for (;;) {
        // A synchronous read waits until its buffer is full, so a server that
        // trickles its body would hold it past any deadline: ask what has
        // arrived (waiting at most until the deadline) and read only that.
        left = Remaining(deadline);
        InternetSetOptionA(request.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &left, sizeof left);
        DWORD available = 0;
        if (!InternetQueryDataAvailable(request.get(), &available, 0, 0)) Fail("cannot read the page");
        if (available == 0) break;
        DWORD got = 0;
        const DWORD want = std::min<DWORD>(available, sizeof buffer);
        if (!InternetReadFile(request.get(), buffer, want, &got)) Fail("cannot read the page");
        if (got == 0) break;
        if (got > limits_.maxBodyBytes - body.size()) throw HttpError("the page is larger than allowed");
        body.append(buffer, got);
    }
    if (haveLength && body.size() != contentLength) throw HttpError("the page was cut short");
    return static_cast<int>(status);
}
