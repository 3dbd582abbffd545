// source.cpp - reading and splitting the parameter file.
#include "tools/check/source.h"

#include "tools/check/words.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace kestrom::check {

namespace {

// Bytes of a text file never hold these (tab, CR and newline aside).
bool isControl(unsigned char c) { return (c < 0x20 && c != '\t' && c != '\r' && c != '\n') || c == 0x7F; }

// Too long as the module reads it: a line needs its newline within the
// first 299 characters; a last line without one is taken up to 297.
bool isTooLong(int length, bool hasNewline) {
    return hasNewline ? length > LONGEST_LINE : length > LONGEST_LINE - 1;
}

SourceLine makeLine(int number, std::string raw, bool hasNewline, const ReadingHabits &habits) {
    SourceLine line;
    line.number = number;
    line.hasNewline = hasNewline;
    line.endsInCr = hasNewline && !raw.empty() && raw.back() == '\r';
    line.length = static_cast<int>(raw.size()) - (line.endsInCr && !habits.crCounts ? 1 : 0);
    line.tooLong = isTooLong(line.length, hasNewline);
    line.text = raw;
    if (line.endsInCr && habits.dropsCr) line.text.pop_back();
    if (const size_t nul = line.text.find('\0'); nul != std::string::npos) {
        line.nulColumn = static_cast<int>(nul) + 1;
        line.text.resize(nul);
    }
    line.raw = std::move(raw);
    return line;
}

}  // namespace

bool readSourceFile(const std::string &path, std::string &bytes, std::string &error) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        error = std::strerror(errno);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error = S_ISDIR(info.st_mode) ? "it is a directory" : "it is not a regular file";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = std::strerror(errno);
        return false;
    }
    std::ostringstream all;
    all << in.rdbuf();
    bytes = all.str();
    return true;
}

void splitLines(SourceFile &file, const ReadingHabits &habits) {
    file.lines.clear();
    const std::string &bytes = file.bytes;
    size_t start = 0;
    int number = 0;
    while (start < bytes.size()) {
        const size_t newline = bytes.find('\n', start);
        const bool hasNewline = newline != std::string::npos;
        const size_t end = hasNewline ? newline : bytes.size();
        file.lines.push_back(makeLine(++number, bytes.substr(start, end - start), hasNewline, habits));
        start = end + 1;
    }
}

const char *binaryKind(std::string_view bytes) {
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0x1F &&
        static_cast<unsigned char>(bytes[1]) == 0x8B)
        return "gzip-compressed";
    if (bytes.substr(0, 3) == "BZh") return "bzip2-compressed";
    if (bytes.substr(0, 6) == std::string_view("\xFD" "7zXZ\0", 6)) return "xz-compressed";
    if (bytes.substr(0, 4) == "PK\x03\x04") return "zip archive";
    const std::string_view sample = bytes.substr(0, 8192);
    size_t controls = 0;
    for (const char c : sample) controls += isControl(static_cast<unsigned char>(c));
    // A stray NUL or two is a text file's problem; this many is not text.
    return controls >= 16 && controls * 20 >= sample.size() ? "binary" : nullptr;
}

std::vector<Word> wordsOf(std::string_view text) {
    std::vector<Word> words;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
        const size_t start = i;
        while (i < text.size() && text[i] != ' ' && text[i] != '\t') ++i;
        if (i > start) words.push_back({text.substr(start, i - start), static_cast<int>(start) + 1});
    }
    return words;
}

}  // namespace kestrom::check
