// assets.h - the page's files, compiled into the program (web.cmake turns
// tools/web/page/ into a source file at build time), so the playground works
// offline and from any folder.
#pragma once

#include <cstddef>
#include <string_view>

namespace kestrom::web {

struct Asset {
    const char *path; // as requested: "/app.js"
    const char *type; // its content type
    const unsigned char *data;
    size_t size;
};

// The file served at `path` ("/" is the page itself), or null.
const Asset *findAsset(std::string_view path);

}  // namespace kestrom::web
