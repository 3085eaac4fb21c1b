#pragma once
// Results files over http(s): libcurl with verified HTTPS, at most 10 s to
// connect and 60 s and 16 MiB a file, revalidated with If-None-Match and
// If-Modified-Since against a copy kept under the user's cache folder. A
// refused connection, 429 and 5xx are tried again after a pause, a few
// times and for a bounded while, since a public file host sheds load that
// way and is back a moment later.

#include <atomic>
#include <functional>
#include <string>

class ResultsDownload {
public:
    enum class Outcome {
        Fresh,        // 200: `body` is new and, once accepted, cached
        NotModified,  // 304: `body` is the cached copy
        Missing,      // 404 or 410: the source has no such file
        Unavailable,  // not reached, or 429 or 5xx on every try; `error` says what
        Failed,       // anything else; `error` says what
    };

    // `cacheFolder` empty: $XDG_CACHE_HOME/scorvane/results.
    explicit ResultsDownload(std::string cacheFolder = {});

    // `accept` checks a new body before it replaces the cached copy, so that
    // the cache only ever holds files that were read successfully.
    Outcome Get(const std::string& url, std::string& body, std::string& error,
                const std::function<bool(const std::string&)>& accept);
    // The cached copy of `url`, when there is one.
    bool Cached(const std::string& url, std::string& body) const;

    const std::string& CacheFolder() const { return folder_; }
    // Set from another thread: a transfer in progress gives up.
    std::atomic<bool> cancel{false};

    static constexpr long kConnectSeconds = 10;
    static constexpr long kFileSeconds = 60;
    static constexpr std::size_t kMaxFileBytes = 16u * 1024u * 1024u;
    // Three tries, 1 s then 2 s apart, or as long as Retry-After asks, up
    // to 10 s: at most 20 s of waiting on top of the transfers.
    static constexpr int kTries = 3;
    static constexpr int kPauseSeconds[kTries - 1] = {1, 2};
    static constexpr int kMaxRetryAfterSeconds = 10;

private:
    std::string PathOf(const std::string& url) const;
    // False when cancelled while waiting.
    bool Pause(int seconds) const;
    std::string folder_;
};
