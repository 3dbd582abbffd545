// diagnostics.cpp - collecting and printing findings.
#include "tools/check/diagnostics.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <ostream>

namespace kestrom::check {

namespace {

const char *label(Severity severity) {
    switch (severity) {
    case Severity::ERROR: return "error";
    case Severity::WARNING: return "warning";
    default: return "note";
    }
}

// The length of a well-formed UTF-8 sequence of two to four bytes at s[i],
// or 0.
size_t utf8Length(std::string_view s, size_t i) {
    const auto c = static_cast<unsigned char>(s[i]);
    const size_t n = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return 0;
    for (size_t k = 1; k < n; ++k)
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
    return n;
}

void escapeByte(std::string &out, unsigned char c) {
    switch (c) {
    case '\t': out += "\\t"; return;
    case '\r': out += "\\r"; return;
    case '\n': out += "\\n"; return;
    case '\0': out += "\\0"; return;
    default: {
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02x", c);
        out += hex;
    }
    }
}

}  // namespace

std::string escaped(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
            ++i;
        } else if (const size_t n = c >= 0x80 ? utf8Length(text, i) : 0) {
            out.append(text.substr(i, n));
            i += n;
        } else {
            escapeByte(out, c);
            ++i;
        }
    }
    return out;
}

std::string quoted(std::string_view text) {
    constexpr size_t LONGEST_QUOTE = 60;
    if (text.size() > LONGEST_QUOTE) return "`" + escaped(text.substr(0, LONGEST_QUOTE - 3)) + "...`";
    return "`" + escaped(text) + "`";
}

void Diagnostics::add(int line, int column, Severity severity, std::string text) {
    all_.push_back({line, column, severity, std::move(text), false});
}

void Diagnostics::closingNote(int line, std::string text) {
    all_.push_back({line, 1, Severity::NOTE, std::move(text), true});
}

int Diagnostics::count(Severity severity) const {
    return static_cast<int>(std::count_if(all_.begin(), all_.end(),
                                          [&](const Diagnostic &d) { return d.severity == severity; }));
}

bool Diagnostics::hasErrorAt(int line) const {
    return std::any_of(all_.begin(), all_.end(),
                       [&](const Diagnostic &d) { return d.line == line && d.severity == Severity::ERROR; });
}

std::vector<Diagnostic> Diagnostics::sorted() const {
    std::vector<Diagnostic> out = all_;
    std::stable_sort(out.begin(), out.end(), [](const Diagnostic &a, const Diagnostic &b) {
        if (a.line != b.line) return a.line < b.line;
        const int ca = a.last ? INT_MAX : a.column, cb = b.last ? INT_MAX : b.column;
        return ca < cb;
    });
    return out;
}

void Diagnostics::print(std::ostream &out, const std::string &file) const {
    const std::string name = escaped(file);
    for (const Diagnostic &d : sorted()) {
        out << name << ':' << (d.line > 0 ? d.line : 1) << ':' << (d.column > 0 ? d.column : 1) << ": "
            << label(d.severity) << ": " << escaped(d.text) << '\n';
    }
}

}  // namespace kestrom::check
