#include "platform/posix/curl_http_client.h"

#include <curl/curl.h>
#include <dlfcn.h>

#include <algorithm>
#include <memory>
#include <mutex>

#include "app/product.h"
#include "platform/unique_handle.h"

namespace {

// libcurl is loaded for the download and let go of after it: with it come
// two dozen libraries (TLS, Kerberos, LDAP, SSH, ...) that an http:// GET
// never uses. (Debian links libcrypto, libssl and p11-kit never to be
// unloaded, which is why the saver downloads in a child process.)
struct SharedLibraryTraits {
    using Handle = void*;
    static Handle Empty() { return nullptr; }
    void Free(Handle handle) const { dlclose(handle); }
};

// libcurl's global state, set up once the library is loaded.
struct CurlGlobalTraits {
    using Handle = bool;
    static Handle Empty() { return false; }
    void (*cleanup)() = nullptr;
    void Free(Handle) const { cleanup(); }
};

struct CurlLibrary {
    // Declared first: unloaded last.
    UniqueHandle<SharedLibraryTraits> library;
    CURLcode (*global_init)(long) = nullptr;
    void (*global_cleanup)() = nullptr;
    const char* (*easy_strerror)(CURLcode) = nullptr;
    CURL* (*easy_init)() = nullptr;
    void (*easy_cleanup)(CURL*) = nullptr;
    CURLcode (*easy_setopt)(CURL*, CURLoption, ...) = nullptr;
    CURLcode (*easy_getinfo)(CURL*, CURLINFO, ...) = nullptr;
    CURLcode (*easy_perform)(CURL*) = nullptr;
    curl_slist* (*slist_append)(curl_slist*, const char*) = nullptr;
    void (*slist_free_all)(curl_slist*) = nullptr;
    UniqueHandle<CurlGlobalTraits> global;

    CurlLibrary() : library(dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL)) {
        if (!library) {
            const char* why = dlerror();
            throw HttpError(std::string("cannot load libcurl: ") + (why ? why : "unknown reason"));
        }
        const bool found = Bind(global_init, "curl_global_init") && Bind(global_cleanup, "curl_global_cleanup") &&
                           Bind(easy_strerror, "curl_easy_strerror") && Bind(easy_init, "curl_easy_init") &&
                           Bind(easy_cleanup, "curl_easy_cleanup") && Bind(easy_setopt, "curl_easy_setopt") &&
                           Bind(easy_getinfo, "curl_easy_getinfo") && Bind(easy_perform, "curl_easy_perform") &&
                           Bind(slist_append, "curl_slist_append") && Bind(slist_free_all, "curl_slist_free_all");
        if (!found) throw HttpError("libcurl lacks a function the download needs");
        const CURLcode rc = global_init(CURL_GLOBAL_DEFAULT);
        if (rc != CURLE_OK) throw HttpError(std::string("libcurl: ") + easy_strerror(rc));
        CurlGlobalTraits traits;
        traits.cleanup = global_cleanup;
        global = UniqueHandle<CurlGlobalTraits>(true, traits);
    }

    template <typename F>
    bool Bind(F& function, const char* name) {
        function = reinterpret_cast<F>(dlsym(library.get(), name));
        return function != nullptr;
    }
};

// curl_global_init and curl_global_cleanup are not thread-safe: one
// download at a time holds the library.
std::mutex theCurlMutex;

struct EasyDeleter {
    const CurlLibrary* curl;
    void operator()(CURL* handle) const { curl->easy_cleanup(handle); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;

struct Transfer {
    const CurlLibrary* curl = nullptr;
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
    t.curl->easy_getinfo(t.handle, CURLINFO_RESPONSE_CODE, &status);
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

// A file's transfer: its body kept only from the answer that counts (a
// redirect's own body is dropped), the validators of that answer noted.
struct FileTransfer {
    const CurlLibrary* curl = nullptr;
    CURL* handle = nullptr;
    std::size_t cap = 0;
    FileResponse* response = nullptr;
    bool tooLarge = false;
};

size_t OnFileBody(char* data, size_t size, size_t count, void* user) {
    FileTransfer& t = *static_cast<FileTransfer*>(user);
    const size_t n = size * count;
    long status = 0;
    t.curl->easy_getinfo(t.handle, CURLINFO_RESPONSE_CODE, &status);
    if (status != 200) return n;
    if (n > t.cap - t.response->body.size()) {
        t.tooLarge = true;
        return n == 0 ? 1 : 0;
    }
    t.response->body.append(data, n);
    return n;
}

// Header lines of every answer on the way; a status line starts a new
// answer, so that the validators are those of the last one.
size_t OnFileHeader(char* data, size_t size, size_t count, void* user) {
    FileResponse& r = *static_cast<FileTransfer*>(user)->response;
    const size_t n = size * count;
    std::string line(data, n);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    if (line.compare(0, 5, "HTTP/") == 0) {
        r.etag.clear();
        r.lastModified.clear();
        r.body.clear();
        return n;
    }
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) return n;
    std::string name = line.substr(0, colon);
    for (char& c : name) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    const std::size_t start = line.find_first_not_of(" \t", colon + 1);
    const std::string value = start == std::string::npos ? std::string() : line.substr(start);
    if (value.size() > 256) return n;
    if (name == "etag") r.etag = value;
    if (name == "last-modified") r.lastModified = value;
    return n;
}

struct SlistDeleter {
    const CurlLibrary* curl;
    void operator()(curl_slist* list) const { curl->slist_free_all(list); }
};

template <typename T>
void SetOption(const CurlLibrary& curl, CURL* handle, CURLoption option, T value) {
    const CURLcode rc = curl.easy_setopt(handle, option, value);
    if (rc != CURLE_OK) throw HttpError(std::string("libcurl option: ") + curl.easy_strerror(rc));
}

// A transfer that ends as soon as `*abort` is set; none without a flag.
void WatchAbort(const CurlLibrary& curl, CURL* h, const volatile std::sig_atomic_t* abort) {
    if (abort == nullptr) return;
    if (*abort != 0) throw HttpError("stopped before the request");
    SetOption(curl, h, CURLOPT_NOPROGRESS, 0L);
    SetOption(curl, h, CURLOPT_XFERINFOFUNCTION, &OnProgress);
    SetOption(curl, h, CURLOPT_XFERINFODATA, const_cast<void*>(static_cast<const volatile void*>(abort)));
}

}  // namespace

CurlHttpClient::CurlHttpClient(const volatile std::sig_atomic_t* abort) : abort_(abort) {}

int CurlHttpClient::Get(const std::string& host, int port, const std::string& path, std::string& body) {
    body.clear();
    std::lock_guard<std::mutex> lock(theCurlMutex);
    const CurlLibrary curl;
    EasyHandle easy(curl.easy_init(), EasyDeleter{&curl});
    if (!easy) throw HttpError("libcurl: cannot create a transfer");
    CURL* h = easy.get();

    // An IPv6 literal needs its brackets back inside an URL.
    const bool bracket = host.find(':') != std::string::npos && host.front() != '[';
    const std::string url = std::string("http://") + (bracket ? "[" : "") + host + (bracket ? "]" : "") + ":" +
                            std::to_string(port) + (path.empty() || path[0] != '/' ? "/" : "") + path;

    Transfer transfer;
    transfer.curl = &curl;
    transfer.handle = h;
    transfer.body = &body;
    char error[CURL_ERROR_SIZE] = {};

    SetOption(curl, h, CURLOPT_URL, url.c_str());
    SetOption(curl, h, CURLOPT_PROTOCOLS_STR, "http");
    // The request must carry exactly the path it was given.
    SetOption(curl, h, CURLOPT_PATH_AS_IS, 1L);
    SetOption(curl, h, CURLOPT_HTTPGET, 1L);
    SetOption(curl, h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
    SetOption(curl, h, CURLOPT_USERAGENT, kProductTag);
    SetOption(curl, h, CURLOPT_FOLLOWLOCATION, 0L);
    SetOption(curl, h, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    SetOption(curl, h, CURLOPT_TIMEOUT, kTransferTimeoutSeconds);
    // Signals cannot carry the time limits in a multi-threaded process.
    SetOption(curl, h, CURLOPT_NOSIGNAL, 1L);
    SetOption(curl, h, CURLOPT_ERRORBUFFER, error);
    SetOption(curl, h, CURLOPT_WRITEFUNCTION, &OnBody);
    SetOption(curl, h, CURLOPT_WRITEDATA, static_cast<void*>(&transfer));
    WatchAbort(curl, h, abort_);

    const CURLcode rc = curl.easy_perform(h);
    long status = 0;
    curl.easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);

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
        throw HttpError(std::string(curl.easy_strerror(rc)) + (error[0] ? std::string(": ") + error : ""));
    }
    if (status != 200) body.clear();
    return static_cast<int>(status);
}

FileResponse CurlHttpClient::GetFile(const FileRequest& request) {
    FileResponse response;
    std::lock_guard<std::mutex> lock(theCurlMutex);
    const CurlLibrary curl;
    EasyHandle easy(curl.easy_init(), EasyDeleter{&curl});
    if (!easy) throw HttpError("libcurl: cannot create a transfer");
    CURL* h = easy.get();

    std::unique_ptr<curl_slist, SlistDeleter> headers(nullptr, SlistDeleter{&curl});
    auto addHeader = [&](const char* name, const std::string& value) {
        if (value.empty() || value.find_first_of("\r\n") != std::string::npos) return;
        curl_slist* grown = curl.slist_append(headers.get(), (std::string(name) + ": " + value).c_str());
        if (grown == nullptr) throw HttpError("libcurl: cannot add a header");
        headers.release();
        headers.reset(grown);
    };
    addHeader("If-None-Match", request.ifNoneMatch);
    addHeader("If-Modified-Since", request.ifModifiedSince);

    FileTransfer transfer;
    transfer.curl = &curl;
    transfer.handle = h;
    transfer.cap = request.maxBodyBytes;
    transfer.response = &response;
    char error[CURL_ERROR_SIZE] = {};

    SetOption(curl, h, CURLOPT_URL, request.url.c_str());
    SetOption(curl, h, CURLOPT_PROTOCOLS_STR, "http,https");
    SetOption(curl, h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    // File hosts move files about; a loop of redirects ends here, not at
    // the time limit.
    SetOption(curl, h, CURLOPT_FOLLOWLOCATION, 1L);
    SetOption(curl, h, CURLOPT_MAXREDIRS, 5L);
    SetOption(curl, h, CURLOPT_HTTPGET, 1L);
    SetOption(curl, h, CURLOPT_USERAGENT, kProductTag);
    // Results files are text that compresses tenfold.
    SetOption(curl, h, CURLOPT_ACCEPT_ENCODING, "");
    SetOption(curl, h, CURLOPT_CONNECTTIMEOUT_MS, std::min(kConnectTimeoutSeconds * 1000, request.timeoutMs));
    SetOption(curl, h, CURLOPT_TIMEOUT_MS, request.timeoutMs);
    SetOption(curl, h, CURLOPT_NOSIGNAL, 1L);
    SetOption(curl, h, CURLOPT_ERRORBUFFER, error);
    if (headers) SetOption(curl, h, CURLOPT_HTTPHEADER, headers.get());
    SetOption(curl, h, CURLOPT_HEADERFUNCTION, &OnFileHeader);
    SetOption(curl, h, CURLOPT_HEADERDATA, static_cast<void*>(&transfer));
    SetOption(curl, h, CURLOPT_WRITEFUNCTION, &OnFileBody);
    SetOption(curl, h, CURLOPT_WRITEDATA, static_cast<void*>(&transfer));
    WatchAbort(curl, h, abort_);

    const CURLcode rc = curl.easy_perform(h);
    long status = 0;
    curl.easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    if (transfer.tooLarge) {
        throw HttpError(request.url + ": larger than " + std::to_string(request.maxBodyBytes) + " bytes");
    }
    if (rc != CURLE_OK) {
        throw HttpError(std::string(curl.easy_strerror(rc)) + (error[0] ? std::string(": ") + error : ""));
    }
    response.status = static_cast<int>(status);
    if (response.status != 200) response.body.clear();
    return response;
}
