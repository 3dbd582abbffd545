// folder.h - the folders the playground may read and write: the scenario's
// own and its parameter file's.  A name from the page is taken relative to
// the first; whatever it names, symbolic links followed, must lie inside one
// of them.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kestrom::web {

class Folder {
public:
    // The scenario's folder; it must exist.
    explicit Folder(const std::filesystem::path &root);
    // Another folder that may be read and written (a parameter file's).
    void allow(const std::filesystem::path &folder);

    const std::filesystem::path &root() const { return roots_.front(); }
    // Whether `path`, symbolic links followed, lies inside one of the folders.
    bool contains(const std::filesystem::path &path) const;
    // The file a page names (relative to the scenario's folder), or nothing
    // with `why` set when the name is not plain or leads outside.
    std::optional<std::filesystem::path> resolve(const std::string &name, std::string &why) const;
    // `path` as the page shows it: relative to the scenario's folder when
    // inside it.
    std::string shown(const std::filesystem::path &path) const;
    // The scenario files of the scenario's folder, by name.
    std::vector<std::string> scenarios() const;

private:
    std::vector<std::filesystem::path> roots_; // canonical
};

}  // namespace kestrom::web
