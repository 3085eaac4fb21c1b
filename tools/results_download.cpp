#include "tools/results_download.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <thread>

#include "platform/posix/user_folders.h"

namespace {

bool ReadFile(const std::string& path, std::string& out, std::size_t limit) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return false;
    out.clear();
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
        out.append(buffer, n);
        if (out.size() > limit) break;
    }
    const bool ok = !std::ferror(f) && out.size() <= limit;
    std::fclose(f);
    return ok;
}

// Written beside its place and renamed over it: a reader finds the old copy
// or the new one, never a part.
bool WriteAtomically(const std::string& path, const std::string& data) {
    std::string temporary = path + ".XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return false;
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    const bool ok = done == data.size() && fsync(fd) == 0;
    close(fd);
    if (!ok || rename(temporary.c_str(), path.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

void MakeFolders(const std::string& path) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
        mkdir(path.substr(0, slash).c_str(), 0700);
    mkdir(path.c_str(), 0700);
}

struct Transfer {
    std::string body;
    std::string etag, lastModified, retryAfter;
    bool tooLarge = false;
    const std::atomic<bool>* cancel = nullptr;
};

std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    if (t->body.size() + size * count > ResultsDownload::kMaxFileBytes) {
        t->tooLarge = true;
        return 0;
    }
    t->body.append(data, size * count);
    return size * count;
}

std::string HeaderValue(const std::string& line, const char* name) {
    const std::size_t n = std::strlen(name);
    if (line.size() <= n || strncasecmp(line.c_str(), name, n) != 0 || line[n] != ':') return {};
    std::string value = line.substr(n + 1);
    const std::size_t b = value.find_first_not_of(" \t");
    const std::size_t e = value.find_last_not_of(" \t\r\n");
    return b == std::string::npos ? std::string() : value.substr(b, e - b + 1);
}

std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const std::string line(data, size * count);
    if (line.compare(0, 5, "HTTP/") == 0) {
        // A new response after a redirect: its headers count, not the earlier ones.
        t->etag.clear();
        t->lastModified.clear();
        t->retryAfter.clear();
    }
    if (auto v = HeaderValue(line, "etag"); !v.empty()) t->etag = v;
    if (auto v = HeaderValue(line, "last-modified"); !v.empty()) t->lastModified = v;
    if (auto v = HeaderValue(line, "retry-after"); !v.empty()) t->retryAfter = v;
    return size * count;
}

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<Transfer*>(user)->cancel->load() ? 1 : 0;
}

// The pause a Retry-After asks for in its seconds form, capped; -1 for none
// and for the date form, which a file host does not send.
int RetryAfterSeconds(const std::string& value) {
    if (value.empty() || value.find_first_not_of("0123456789") != std::string::npos) return -1;
    if (value.size() > 6) return ResultsDownload::kMaxRetryAfterSeconds;
    return std::min(std::atoi(value.c_str()), ResultsDownload::kMaxRetryAfterSeconds);
}

bool Printable(const std::string& s) {
    for (unsigned char c : s) {
        if (c < 0x20 || c >= 0x7F) return false;
    }
    return s.size() < 512;
}

}  // namespace

ResultsDownload::ResultsDownload(std::string cacheFolder) : folder_(std::move(cacheFolder)) {
    if (folder_.empty()) {
        const std::filesystem::path cache = UserCacheFolder("scorvane");
        if (!cache.empty()) folder_ = (cache / "results").string();
    }
    static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    (void)initialised;
}

std::string ResultsDownload::PathOf(const std::string& url) const {
    // Readable, and with a hash so that two addresses never share a file.
    std::string name;
    for (char c : url.substr(url.find("://") == std::string::npos ? 0 : url.find("://") + 3)) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                           c == '-';
        name += plain ? c : '_';
    }
    if (name.size() > 120) name = name.substr(name.size() - 120);
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (unsigned char c : url) h = (h ^ c) * 0x100000001b3ull;
    char hash[20];
    std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(h));
    return folder_ + "/" + name + "-" + hash;
}

bool ResultsDownload::Cached(const std::string& url, std::string& body) const {
    return !folder_.empty() && ReadFile(PathOf(url) + ".json", body, kMaxFileBytes);
}

bool ResultsDownload::Pause(int seconds) const {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!cancel.load()) {
        const auto left = until - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero()) return true;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(left, std::chrono::milliseconds(50)));
    }
    return false;
}

ResultsDownload::Outcome ResultsDownload::Get(const std::string& url, std::string& body, std::string& error,
                                              const std::function<bool(const std::string&)>& accept) {
    if (cancel.load()) {
        error = "cancelled";
        return Outcome::Failed;
    }
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), &curl_easy_cleanup);
    if (!curl) {
        error = "libcurl did not start";
        return Outcome::Failed;
    }
    const std::string path = folder_.empty() ? std::string() : PathOf(url);
    std::string cached, meta;
    const bool haveCopy = Cached(url, cached) && ReadFile(path + ".meta", meta, 4096);
    std::string etag, lastModified;
    if (haveCopy) {
        const std::size_t nl = meta.find('\n');
        etag = meta.substr(0, nl);
        if (nl != std::string::npos) lastModified = meta.substr(nl + 1, meta.find('\n', nl + 1) - nl - 1);
    }
    curl_slist* headers = nullptr;
    if (!etag.empty()) headers = curl_slist_append(headers, ("If-None-Match: " + etag).c_str());
    if (!lastModified.empty()) headers = curl_slist_append(headers, ("If-Modified-Since: " + lastModified).c_str());
    std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> headerList(headers, &curl_slist_free_all);

    Transfer t;
    char curlError[CURL_ERROR_SIZE] = {};
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, kConnectSeconds);
    curl_easy_setopt(c, CURLOPT_TIMEOUT, kFileSeconds);
    curl_easy_setopt(c, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxFileBytes));
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_USERAGENT, "scorvane");
    curl_easy_setopt(c, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headerList.get());
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &OnBody);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, &OnHeader);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &OnProgress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &t);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, curlError);
    long status = 0;
    for (int attempt = 1;; ++attempt) {
        t = Transfer{};
        t.cancel = &cancel;
        curlError[0] = '\0';
        const CURLcode rc = curl_easy_perform(c);
        int pause = attempt < kTries ? kPauseSeconds[attempt - 1] : 0;
        if (rc != CURLE_OK) {
            if (t.tooLarge || rc == CURLE_FILESIZE_EXCEEDED) {
                error = "larger than " + std::to_string(kMaxFileBytes / (1024 * 1024)) + " MiB";
                return Outcome::Failed;
            }
            if (rc == CURLE_ABORTED_BY_CALLBACK) {
                error = "cancelled";
                return Outcome::Failed;
            }
            error = curlError[0] != '\0' ? curlError : curl_easy_strerror(rc);
            // A refused connection is a server between two lives; a name
            // that does not resolve or a connection that timed out will not
            // be better a second later, and trying again only holds up the
            // fallback.
            if (rc != CURLE_COULDNT_CONNECT) return Outcome::Unavailable;
        } else {
            curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
            if (status != 429 && (status < 500 || status > 599)) break;
            error = "answered with status " + std::to_string(status);
            if (const int asked = RetryAfterSeconds(t.retryAfter); asked >= 0) pause = asked;
        }
        if (attempt == kTries) {
            error += " (" + std::to_string(kTries) + " tries)";
            return Outcome::Unavailable;
        }
        if (!Pause(pause)) {
            error = "cancelled";
            return Outcome::Failed;
        }
    }
    if (status == 304 && haveCopy) {
        body = std::move(cached);
        return Outcome::NotModified;
    }
    if (status == 404 || status == 410) return Outcome::Missing;
    if (status != 200) {
        error = "answered with status " + std::to_string(status);
        return Outcome::Failed;
    }
    if (!accept(t.body)) {
        error = "the file was not accepted";
        return Outcome::Failed;
    }
    if (!path.empty()) {
        MakeFolders(folder_);
        // The validators only go with the body they came with.
        const std::string newMeta = (Printable(t.etag) ? t.etag : std::string()) + "\n" +
                                    (Printable(t.lastModified) ? t.lastModified : std::string()) + "\n";
        if (WriteAtomically(path + ".json", t.body)) WriteAtomically(path + ".meta", newMeta);
    }
    body = std::move(t.body);
    return Outcome::Fresh;
}
