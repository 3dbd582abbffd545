// heap.h - the module's memory as the simulated server hands it out: every
// block the module gets from NewPtr/NewPtrClear is counted until DisposePtr
// returns it, and allocations can be made to fail on purpose.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>

namespace kestrom::sim {

class ModuleHeap {
public:
    ModuleHeap() = default;
    ModuleHeap(const ModuleHeap &) = delete;
    ModuleHeap &operator=(const ModuleHeap &) = delete;
    ~ModuleHeap() { reset(); }

    // A block of `size` bytes (zero-filled when `clear`), or null when the
    // allocation was made to fail or memory ran out.
    void *allocate(size_t size, bool clear);
    // Returns a block; false (and nothing freed) when it is not one of ours.
    bool release(void *block);

    // The usable size of a live block, or 0 when it is not one of ours.
    size_t blockSize(const void *block) const;
    bool owns(const void *block) const { return live_.count(block) != 0; }

    size_t outstanding() const { return live_.size(); }
    // Allocation calls made since the last reset (failed ones included).
    long allocationsMade() const { return calls_; }
    // Allocations that were made to fail since the last reset.
    long failuresInjected() const { return failures_; }

    // Only the k-th allocation call from now fails (k >= 1).
    void failOnly(long k);
    // Every allocation call from the k-th from now on fails (k >= 1).
    void failFrom(long k);
    void stopFailing();
    bool failing() const { return mode_ != Mode::Off; }

    // Frees every block still out and starts counting afresh.
    void reset();

private:
    enum class Mode { Off, Only, From };
    bool shouldFail() const;

    std::unordered_map<const void *, size_t> live_;
    long calls_ = 0;
    long failures_ = 0;
    Mode mode_ = Mode::Off;
    long target_ = 0; // absolute call number at which failing starts
};

// The one heap behind NewPtr, NewPtrClear and DisposePtr.
ModuleHeap &moduleHeap();

}  // namespace kestrom::sim
