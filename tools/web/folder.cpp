// folder.cpp - keeping the playground's reads and writes inside its folders.
#include "tools/web/folder.h"

#include <algorithm>

namespace kestrom::web {

namespace fs = std::filesystem;

namespace {

// `path` with its symbolic links resolved as far as it exists.
fs::path resolved(const fs::path &path) {
    std::error_code ec;
    fs::path p = fs::weakly_canonical(fs::absolute(path, ec), ec);
    return ec ? fs::path() : p;
}

bool isInside(const fs::path &path, const fs::path &folder) {
    auto p = path.begin();
    for (auto f = folder.begin(); f != folder.end(); ++f, ++p) {
        if (f->empty() && std::next(f) == folder.end()) break; // a trailing separator
        if (p == path.end() || *p != *f) return false;
    }
    return true;
}

}  // namespace

Folder::Folder(const fs::path &root) { roots_.push_back(resolved(root)); }

void Folder::allow(const fs::path &folder) {
    const fs::path p = resolved(folder);
    if (!p.empty() && std::find(roots_.begin(), roots_.end(), p) == roots_.end()) roots_.push_back(p);
}

bool Folder::contains(const fs::path &path) const {
    const fs::path p = resolved(path);
    if (p.empty()) return false;
    return std::any_of(roots_.begin(), roots_.end(), [&](const fs::path &root) { return isInside(p, root); });
}

std::optional<fs::path> Folder::resolve(const std::string &name, std::string &why) const {
    const fs::path given(name);
    if (name.empty() || name.find('\0') != std::string::npos) {
        why = "no file named";
    } else if (given.is_absolute()) {
        why = "name a file inside the playground's folder, not an absolute path";
    } else if (std::any_of(given.begin(), given.end(), [](const fs::path &part) { return part == ".."; })) {
        why = "a name may not climb out of the playground's folder (..)";
    } else if (const fs::path p = root() / given; !contains(p)) {
        why = "\"" + name + "\" leads outside the playground's folder";
    } else {
        return p;
    }
    return std::nullopt;
}

std::string Folder::shown(const fs::path &path) const {
    const fs::path p = resolved(path);
    if (!p.empty() && isInside(p, root())) return p.lexically_relative(root()).string();
    return path.string();
}

std::vector<std::string> Folder::scenarios() const {
    std::vector<std::string> names;
    std::error_code ec;
    for (const fs::directory_entry &entry : fs::directory_iterator(root(), ec)) {
        const fs::path &p = entry.path();
        if (p.extension() == ".scenario" && entry.is_regular_file(ec) && contains(p))
            names.push_back(p.filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace kestrom::web
