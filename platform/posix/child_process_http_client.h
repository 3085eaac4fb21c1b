#pragma once
// Another client's exchange, run in a child process of its own.
//
// libcurl pulls in OpenSSL and p11-kit, which Debian marks never to be
// unloaded: a saver that downloaded in its own process would keep about
// 4 MB of TLS code resident for hours for one plain HTTP GET. The child
// loads them, downloads, hands status and body back through a pipe and
// exits, taking them along.

#include <csignal>
#include <functional>
#include <string>

#include "acquire/http_client.h"

class ChildProcessHttpClient : public HttpClient {
public:
    // `inner` does the exchange in the child. The wait ends with an error as
    // soon as `*abort` is non-zero; `wakeFd`, when not -1, is a descriptor
    // that becomes readable at the same moment (it is polled, never read),
    // so that the stop is seen without delay.
    explicit ChildProcessHttpClient(HttpClient& inner, const volatile std::sig_atomic_t* abort = nullptr,
                                    int wakeFd = -1);
    int Get(const std::string& host, int port, const std::string& path, std::string& body) override;
    FileResponse GetFile(const FileRequest& request) override;

private:
    // Runs `exchange` in a child and hands back its status and what it
    // wrote into the payload, or throws its error. `cap` bounds the payload,
    // `limitMs` the child's exchange (the wait adds a grace to it).
    int InChild(const std::function<int(std::string& payload)>& exchange, std::size_t cap, long limitMs,
                std::string& payload);

    HttpClient& inner_;
    const volatile std::sig_atomic_t* abort_;
    int wakeFd_;
};
