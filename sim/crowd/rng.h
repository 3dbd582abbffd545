// rng.h - the crowds' source of chance: the standard 64-bit Mersenne
// Twister, whose sequence the C++ standard fixes, mapped to ranges by hand
// (the standard distributions differ between libraries), so that a seed
// gives the same traffic everywhere.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <random>

namespace kestrom::sim::crowd {

class Rng {
public:
    explicit Rng(uint64_t seed) : engine_(seed) {}

    // [0, 1).
    double unit() { return static_cast<double>(engine_() >> 11) * 0x1.0p-53; }
    // 0 .. n-1 (0 when n is not above 0).
    int below(int n) { return n > 0 ? static_cast<int>(unit() * n) : 0; }
    // lo .. hi, both included.
    int between(int lo, int hi) { return lo + below(hi - lo + 1); }
    bool chance(double p) { return unit() < p; }
    // A wait with the given mean, exponentially distributed (a Poisson stream).
    double exponential(double mean) { return -std::log(1.0 - unit()) * mean; }

    template <typename T, size_t N>
    const T &pick(const T (&items)[N]) {
        return items[static_cast<size_t>(below(static_cast<int>(N)))];
    }

private:
    std::mt19937_64 engine_;
};

}  // namespace kestrom::sim::crowd
