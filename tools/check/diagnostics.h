// diagnostics.h - the checker's findings: FILE:LINE:COLUMN: error|warning|
// note: text, printed in line order with every byte a terminal would not
// show escaped.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace kestrom::check {

enum class Severity { NOTE, WARNING, ERROR };

struct Diagnostic {
    int line = 0;   // 0: the file as a whole
    int column = 0;
    Severity severity = Severity::NOTE;
    std::string text;
    bool last = false; // shown after the line's other findings
};

class Diagnostics {
public:
    void add(int line, int column, Severity severity, std::string text);
    void error(int line, int column, std::string text) { add(line, column, Severity::ERROR, std::move(text)); }
    void warning(int line, int column, std::string text) {
        add(line, column, Severity::WARNING, std::move(text));
    }
    void note(int line, int column, std::string text) { add(line, column, Severity::NOTE, std::move(text)); }
    // A note that closes the findings of its line.
    void closingNote(int line, std::string text);

    int count(Severity severity) const;
    bool hasErrorAt(int line) const;
    // In line order; within a line, by column, closing notes last.
    std::vector<Diagnostic> sorted() const;
    void print(std::ostream &out, const std::string &file) const;

private:
    std::vector<Diagnostic> all_;
};

// The text with control bytes, DEL and bytes that are not UTF-8 written as
// \t, \r, \0 or \xNN (and a backslash as \\ only when it could be misread).
std::string escaped(std::string_view text);
// `text`, quoted for a message (escaped).
std::string quoted(std::string_view text);

}  // namespace kestrom::check
