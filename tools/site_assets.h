#pragma once
// The standings site's own files beside its pages: one style sheet and the
// logo, the same bytes for `serve` and `publish`.

#include <string_view>
#include <vector>

struct SiteAsset {
    const char* path;         // from the site's root: "static/site.css"
    const char* contentType;  // as served
    std::string_view body;
};

const std::vector<SiteAsset>& SiteAssets();
