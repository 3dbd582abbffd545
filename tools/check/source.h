// source.h - the parameter file as bytes and lines, each line as the module
// reads it: cut at a NUL byte, its CR dropped or kept as the module does,
// and whether it is too long for the module.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kestrom::check {

// How the module in use reads a line that ends in CR LF (learnt from the
// module itself, see ModuleRunner::learnHabits).
struct ReadingHabits {
    bool dropsCr = false;  // "no\r" reads as "no"
    bool crCounts = true;  // the CR counts towards the longest line
};

struct SourceLine {
    int number = 0;
    std::string raw;       // the bytes up to the newline
    bool hasNewline = false;
    std::string text;      // what the module reads: cut at a NUL, CR dropped when it does that
    bool tooLong = false;  // the module stops reading (and fails) at this line
    int length = 0;        // the characters that count towards the longest line
    int nulColumn = 0;     // the first NUL byte, or 0
    bool endsInCr = false; // the raw line ends in CR before its newline
};

struct SourceFile {
    std::string path;
    std::string bytes;
    std::vector<SourceLine> lines;
};

// A blank-delimited word of a line and its 1-based column.
struct Word {
    std::string_view text;
    int column;
};

// Reads the file; false with `error` set when it cannot be read.
bool readSourceFile(const std::string &path, std::string &bytes, std::string &error);
// Splits the bytes into lines as the module reads them.
void splitLines(SourceFile &file, const ReadingHabits &habits);
// What kind of non-text file the bytes are ("gzip-compressed", ...), or null
// for text.
const char *binaryKind(std::string_view bytes);
// The words of a line (blanks are spaces and tabs).
std::vector<Word> wordsOf(std::string_view text);
// The column of p inside text (1-based).
inline int columnOf(std::string_view text, const char *p) {
    return static_cast<int>(p - text.data()) + 1;
}

}  // namespace kestrom::check
