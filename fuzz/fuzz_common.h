// fuzz_common.h - what both fuzz targets share: reading an input as a stream
// of bytes and delimited strings, the world's parameter file, and the checks
// that end every run (a module allocation still out after stop, or a misuse
// of the host the server noticed, is a finding: the run aborts).
//
// Set KESTROM_FUZZ_TRACE=1 to see the transcript of each run on stderr.
#pragma once

#include "sim/server.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace kestrom::fuzz {

// Reads an input front to back; past its end every read gives zeros and
// empty strings, so a cut input is still a valid one.
class InputReader {
public:
    InputReader(const uint8_t *data, size_t size) : p_(data), n_(size) {}

    bool atEnd() const { return at_ >= n_; }
    size_t left() const { return n_ - at_; }

    uint8_t byte() { return atEnd() ? 0 : p_[at_++]; }

    // Bytes up to a lone backslash (which ends the string and is consumed)
    // or the end of the input; a doubled backslash stands for one.  The
    // delimiter keeps records apart however the fuzzer mutates their text.
    std::string delimited(size_t maximum) {
        std::string s;
        while (!atEnd() && s.size() < maximum) {
            const char c = static_cast<char>(p_[at_++]);
            if (c != '\\') {
                s += c;
                continue;
            }
            if (atEnd() || p_[at_] != '\\') break;
            ++at_;
            s += '\\';
        }
        return s;
    }

private:
    const uint8_t *p_;
    size_t n_;
    size_t at_ = 0;
};

// The realistic parameter file of examples/, read once.
inline const std::string &exampleParameters() {
    static const std::string text = [] {
        std::ifstream in(KESTROM_SOURCE_DIR "/examples/kestrom.params", std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "fuzz: cannot read %s\n", KESTROM_SOURCE_DIR "/examples/kestrom.params");
            std::abort();
        }
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }();
    return text;
}

// Shows every event on stderr when KESTROM_FUZZ_TRACE is set.
inline void traceWhenAsked(sim::Server &server) {
    static const bool tracing = std::getenv("KESTROM_FUZZ_TRACE") != nullptr;
    if (!tracing) return;
    server.recorder().setListener([](const sim::Event &e) {
        std::fprintf(stderr, "%*s%s\n", 2 * e.depth, "", e.describe().c_str());
    });
}

[[noreturn]] inline void finding(const char *what) {
    std::fprintf(stderr, "fuzz: FINDING: %s\n", what);
    std::fflush(stderr);
    std::abort();
}

// Every fault the server noted, then abort when there was one.
inline void requireNoFaults(sim::Server &server) {
    if (server.faults() == 0) return;
    for (const sim::Event &e : server.recorder().window())
        if (e.kind == sim::EventKind::Fault) std::fprintf(stderr, "fuzz: %s\n", e.detail.c_str());
    finding("the module misused the host");
}

// Stops the module, then requires that it returned every block and never
// misused the host.
inline void stopAndCheck(sim::Server &server) {
    server.stop();
    requireNoFaults(server);
    if (const size_t left = server.heap().outstanding()) {
        std::fprintf(stderr, "fuzz: %zu module allocation%s outstanding after stop\n", left,
                     left == 1 ? "" : "s");
        finding("module memory leaked");
    }
}

}  // namespace kestrom::fuzz
