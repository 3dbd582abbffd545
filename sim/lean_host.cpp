// lean_host.cpp - memory straight from the C library, texts counted.
#include "sim/lean_host.h"

#include <cstdlib>

namespace kestrom::sim {

namespace {
LeanHost *theLeanHost = nullptr;
}

LeanHost::LeanHost() : outer_(theLeanHost) { theLeanHost = this; }

LeanHost::~LeanHost() { theLeanHost = outer_; }

LeanHost *LeanHost::active() { return theLeanHost; }

void *LeanHost::allocate(size_t size, bool clear) {
    ++allocations_;
    void *block = clear ? std::calloc(1, size ? size : 1) : std::malloc(size ? size : 1);
    if (!block) ++failed_;
    return block;
}

void LeanHost::release(void *block) {
    if (!block) return;
    ++releases_;
    std::free(block);
}

}  // namespace kestrom::sim
