#pragma once
// The HTTP client of the Linux build, over libcurl.

#include <string>

#include "acquire/http_client.h"

class CurlHttpClient : public HttpClient {
public:
    CurlHttpClient();
    int Get(const std::string& host, int port, const std::string& path, std::string& body) override;
};
