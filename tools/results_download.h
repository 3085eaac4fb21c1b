#pragma once
// Results files over http(s): libcurl with verified HTTPS, at most 10 s to
// connect and 60 s and 16 MiB a file, revalidated with If-None-Match and
// If-Modified-Since against a copy kept under the user's cache folder.

#include <atomic>
#include <functional>
#include <string>

class ResultsDownload {
public:
    enum class Outcome {
        Fresh,        // 200: `body` is new and, once accepted, cached
        NotModified,  // 304: `body` is the cached copy
        Missing,      // 404 or 410: the source has no such file
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

private:
    std::string PathOf(const std::string& url) const;
    std::string folder_;
};
