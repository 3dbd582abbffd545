// heap.cpp - counting and failing the module's allocations.
#include "sim/heap.h"

#include <cstdlib>
#include <cstring>

namespace kestrom::sim {

// The high bits of the product (the low ones follow the address's low bits,
// which malloc's regular strides make alike): no long runs of taken slots.
size_t LiveBlocks::home(const void *block) const {
    const auto bits = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(block) >> 4);
    return static_cast<size_t>((bits * 0x9E3779B97F4A7C15ull) >> shift_);
}

const size_t *LiveBlocks::find(const void *block) const {
    if (slots_.empty() || !block) return nullptr;
    for (size_t i = home(block);; i = (i + 1) & (slots_.size() - 1)) {
        if (slots_[i].block == block) return &slots_[i].size;
        if (!slots_[i].block) return nullptr;
    }
}

void LiveBlocks::insert(const void *block, size_t size) {
    if (2 * (count_ + 1) > slots_.size()) grow();
    size_t i = home(block);
    while (slots_[i].block) i = (i + 1) & (slots_.size() - 1);
    slots_[i] = {block, size};
    ++count_;
}

// Removes with backward shifting, so that no probe chain is ever broken.
bool LiveBlocks::erase(const void *block) {
    if (slots_.empty() || !block) return false;
    const size_t mask = slots_.size() - 1;
    size_t i = home(block);
    while (slots_[i].block != block) {
        if (!slots_[i].block) return false;
        i = (i + 1) & mask;
    }
    for (size_t j = (i + 1) & mask; slots_[j].block; j = (j + 1) & mask) {
        const size_t want = home(slots_[j].block);
        const bool movable = ((j - want) & mask) >= ((j - i) & mask);
        if (!movable) continue;
        slots_[i] = slots_[j];
        i = j;
    }
    slots_[i] = {};
    --count_;
    return true;
}

void LiveBlocks::grow() {
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(old.empty() ? 64 : 2 * old.size(), Slot{});
    shift_ = 64;
    for (size_t n = slots_.size(); n > 1; n >>= 1) --shift_;
    count_ = 0;
    for (const Slot &slot : old)
        if (slot.block) insert(slot.block, slot.size);
}

void LiveBlocks::clear() {
    slots_.clear();
    count_ = 0;
}

bool ModuleHeap::shouldFail() const {
    switch (mode_) {
    case Mode::Off: return false;
    case Mode::Only: return calls_ == target_;
    case Mode::From: return calls_ >= target_;
    }
    return false;
}

void *ModuleHeap::allocate(size_t size, bool clear) {
    ++calls_;
    if (shouldFail()) {
        ++failures_;
        return nullptr;
    }
    void *block = clear ? std::calloc(1, size ? size : 1) : std::malloc(size ? size : 1);
    if (!block) return nullptr;
    live_.insert(block, size);
    return block;
}

bool ModuleHeap::release(void *block) {
    if (!live_.erase(block)) return false;
    std::free(block);
    return true;
}

size_t ModuleHeap::blockSize(const void *block) const {
    const size_t *size = live_.find(block);
    return size ? *size : 0;
}

void ModuleHeap::failOnly(long k) {
    mode_ = Mode::Only;
    target_ = calls_ + k;
}

void ModuleHeap::failFrom(long k) {
    mode_ = Mode::From;
    target_ = calls_ + k;
}

void ModuleHeap::stopFailing() { mode_ = Mode::Off; }

void ModuleHeap::reset() {
    live_.forEach([](const void *block, size_t) { std::free(const_cast<void *>(block)); });
    live_.clear();
    calls_ = failures_ = 0;
    mode_ = Mode::Off;
    target_ = 0;
}

ModuleHeap &moduleHeap() {
    static ModuleHeap heap;
    return heap;
}

}  // namespace kestrom::sim
