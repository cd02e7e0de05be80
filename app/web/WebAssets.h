// The page's files, built into the program (WebAssets.cpp is generated from
// app/web/assets/ by EmbedAssets.cmake).
#pragma once

#include <optional>
#include <string_view>

namespace kelvane {

struct WebAsset {
    std::string_view Path;  // "/index.html", "/vendor/leaflet/leaflet.js"
    std::string_view ContentType;
    std::string_view Bytes;
};

std::optional<WebAsset> FindWebAsset(std::string_view path);

}  // namespace kelvane
