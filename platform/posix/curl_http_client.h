#pragma once
// The HTTP client of the Linux build, over libcurl.

#include <csignal>
#include <string>

#include "acquire/http_client.h"

class CurlHttpClient : public HttpClient {
public:
    // A transfer ends with an error as soon as `*abort` is non-zero (a flag
    // a signal handler sets); none: only its time limits end it.
    explicit CurlHttpClient(const volatile std::sig_atomic_t* abort = nullptr);
    int Get(const std::string& host, int port, const std::string& path, std::string& body) override;
    FileResponse GetFile(const FileRequest& request) override;

private:
    const volatile std::sig_atomic_t* abort_;
};
