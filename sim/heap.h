// heap.h - the module's memory as the simulated server hands it out: every
// block the module gets from NewPtr/NewPtrClear is counted until DisposePtr
// returns it, and allocations can be made to fail on purpose.
#pragma once

#include <cstddef>
#include <string>
#include <cstdint>
#include <vector>

namespace kestrom::sim {

// The blocks that are out, by address: an open-addressing table, so that
// keeping count costs no allocation of its own.
class LiveBlocks {
public:
    size_t size() const { return count_; }
    // The size recorded for `block`, or null when it is not in the table.
    const size_t *find(const void *block) const;
    void insert(const void *block, size_t size);
    bool erase(const void *block);
    template <typename Visit>
    void forEach(Visit &&visit) const {
        for (const Slot &slot : slots_)
            if (slot.block) visit(slot.block, slot.size);
    }
    void clear();

private:
    struct Slot {
        const void *block = nullptr;
        size_t size = 0;
    };
    size_t home(const void *block) const;
    void grow();

    std::vector<Slot> slots_; // a power of two, at most half full
    unsigned shift_ = 58;     // 64 - log2 of the number of slots
    size_t count_ = 0;
};

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
    bool owns(const void *block) const { return live_.find(block) != nullptr; }

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

    LiveBlocks live_;
    long calls_ = 0;
    long failures_ = 0;
    Mode mode_ = Mode::Off;
    long target_ = 0; // absolute call number at which failing starts
};

// The one heap behind NewPtr, NewPtrClear and DisposePtr.
ModuleHeap &moduleHeap();

}  // namespace kestrom::sim
