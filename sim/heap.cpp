// heap.cpp - counting and failing the module's allocations.
#include "sim/heap.h"

#include <cstdlib>
#include <cstring>

namespace kestrom::sim {

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
    live_.emplace(block, size);
    return block;
}

bool ModuleHeap::release(void *block) {
    auto it = live_.find(block);
    if (it == live_.end()) return false;
    live_.erase(it);
    std::free(block);
    return true;
}

size_t ModuleHeap::blockSize(const void *block) const {
    auto it = live_.find(block);
    return it == live_.end() ? 0 : it->second;
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
    for (auto &[block, size] : live_) std::free(const_cast<void *>(block));
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
