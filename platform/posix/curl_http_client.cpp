#include "platform/posix/curl_http_client.h"

#include <curl/curl.h>

#include <memory>
#include <mutex>

#include "app/product.h"

namespace {

// curl_global_init is not thread-safe and must run before any other call;
// once per process is enough, and nothing needs it undone before exit.
void InitCurlOnce() {
    static std::once_flag once;
    static CURLcode result = CURLE_OK;
    std::call_once(once, [] { result = curl_global_init(CURL_GLOBAL_DEFAULT); });
    if (result != CURLE_OK) throw HttpError(std::string("libcurl: ") + curl_easy_strerror(result));
}

struct EasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;

struct Transfer {
    CURL* handle = nullptr;
    std::string* body = nullptr;
    bool tooLarge = false;
    // Set when the body was refused because the status is not 200: the
    // transfer then ends early on purpose, which is not an error.
    bool skippedBody = false;
};

size_t OnBody(char* data, size_t size, size_t count, void* user) {
    Transfer& t = *static_cast<Transfer*>(user);
    const size_t n = size * count;
    long status = 0;
    curl_easy_getinfo(t.handle, CURLINFO_RESPONSE_CODE, &status);
    if (status != 200) {
        t.skippedBody = true;
        return n == 0 ? 1 : 0;  // any count other than n aborts the transfer
    }
    if (n > kMaxBodyBytes - t.body->size()) {
        t.tooLarge = true;
        return n == 0 ? 1 : 0;
    }
    t.body->append(data, n);
    return n;
}

// Called between reads and, while the server is silent, whenever a wait is
// cut short (a signal interrupts it) or times out.
int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return *static_cast<const volatile std::sig_atomic_t*>(user) != 0 ? 1 : 0;
}

template <typename T>
void SetOption(CURL* handle, CURLoption option, T value) {
    const CURLcode rc = curl_easy_setopt(handle, option, value);
    if (rc != CURLE_OK) throw HttpError(std::string("libcurl option: ") + curl_easy_strerror(rc));
}

}  // namespace

CurlHttpClient::CurlHttpClient(const volatile std::sig_atomic_t* abort) : abort_(abort) {}

int CurlHttpClient::Get(const std::string& host, int port, const std::string& path, std::string& body) {
    body.clear();
    InitCurlOnce();
    EasyHandle easy(curl_easy_init());
    if (!easy) throw HttpError("libcurl: cannot create a transfer");
    CURL* h = easy.get();

    // An IPv6 literal needs its brackets back inside an URL.
    const bool bracket = host.find(':') != std::string::npos && host.front() != '[';
    const std::string url = std::string("http://") + (bracket ? "[" : "") + host + (bracket ? "]" : "") + ":" +
                            std::to_string(port) + (path.empty() || path[0] != '/' ? "/" : "") + path;

    Transfer transfer;
    transfer.handle = h;
    transfer.body = &body;
    char error[CURL_ERROR_SIZE] = {};

    SetOption(h, CURLOPT_URL, url.c_str());
    SetOption(h, CURLOPT_PROTOCOLS_STR, "http");
    // The request must carry exactly the path it was given.
    SetOption(h, CURLOPT_PATH_AS_IS, 1L);
    SetOption(h, CURLOPT_HTTPGET, 1L);
    SetOption(h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
    SetOption(h, CURLOPT_USERAGENT, kProductTag);
    SetOption(h, CURLOPT_FOLLOWLOCATION, 0L);
    SetOption(h, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    SetOption(h, CURLOPT_TIMEOUT, kTransferTimeoutSeconds);
    // Signals cannot carry the time limits in a multi-threaded process.
    SetOption(h, CURLOPT_NOSIGNAL, 1L);
    SetOption(h, CURLOPT_ERRORBUFFER, error);
    SetOption(h, CURLOPT_WRITEFUNCTION, &OnBody);
    SetOption(h, CURLOPT_WRITEDATA, static_cast<void*>(&transfer));
    if (abort_ != nullptr) {
        if (*abort_ != 0) throw HttpError("stopped before the request");
        SetOption(h, CURLOPT_NOPROGRESS, 0L);
        SetOption(h, CURLOPT_XFERINFOFUNCTION, &OnProgress);
        SetOption(h, CURLOPT_XFERINFODATA, const_cast<void*>(static_cast<const volatile void*>(abort_)));
    }

    const CURLcode rc = curl_easy_perform(h);
    long status = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);

    if (rc == CURLE_WRITE_ERROR && transfer.skippedBody) {
        body.clear();
        return static_cast<int>(status);
    }
    if (transfer.tooLarge) {
        body.clear();
        throw HttpError("response body larger than " + std::to_string(kMaxBodyBytes) + " bytes");
    }
    if (rc != CURLE_OK) {
        body.clear();
        throw HttpError(std::string(curl_easy_strerror(rc)) + (error[0] ? std::string(": ") + error : ""));
    }
    if (status != 200) body.clear();
    return static_cast<int>(status);
}
