// replay_main.cpp - runs saved inputs through a fuzz target without libFuzzer,
// so that `make test` replays every finding ever made (and the seeds) with
// the ordinary compiler.  Arguments are files or directories (every file in
// a directory, in name order; names beginning with "." or ending in ".md"
// are skipped).  A finding aborts the program, naming the input on stderr.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace {

namespace fs = std::filesystem;

bool isInput(const fs::path &path) {
    const std::string name = path.filename().string();
    return !name.empty() && name[0] != '.' && path.extension() != ".md";
}

std::vector<fs::path> inputsOf(const fs::path &where) {
    std::vector<fs::path> found;
    if (!fs::is_directory(where)) return {where};
    for (const fs::directory_entry &e : fs::directory_iterator(where))
        if (e.is_regular_file() && isInput(e.path())) found.push_back(e.path());
    std::sort(found.begin(), found.end());
    return found;
}

bool replay(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "replay: cannot read %s\n", path.c_str());
        return false;
    }
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::fprintf(stderr, "replay: %s\n", path.c_str());
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
    return true;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE-OR-DIRECTORY...\n", argv[0]);
        return 2;
    }
    long count = 0;
    for (int i = 1; i < argc; ++i) {
        if (!fs::exists(argv[i])) continue; // a directory with no findings yet
        for (const fs::path &p : inputsOf(argv[i])) {
            if (!replay(p)) return 1;
            ++count;
        }
    }
    std::printf("replayed %ld input%s\n", count, count == 1 ? "" : "s");
    return 0;
}
