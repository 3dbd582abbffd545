// memory.h - the module's allocations.  Every block comes from the host's
// NewPtr/NewPtrClear and goes back through DisposePtr, so that the server can
// count them and make them fail.
#pragma once

#include "core/host.h"

#include <cstddef>
#include <cstdint>

namespace kestrom {

// A zero-filled T, with `extra` bytes after it for inline text; null when
// memory runs out.
template <typename T>
T *newZeroed(size_t extra = 0) {
    return static_cast<T *>(NewPtrClear(sizeof(T) + extra));
}

// A copy of the NUL-terminated text s (or its first n characters), or null.
char *copyText(const char *s);
char *copyText(const char *s, size_t n);

// Keeps a copy of `text` in `slot`, a block of `capacity` bytes: the block
// is reused when the text fits, otherwise replaced by one with room to
// spare.  When memory runs out the slot is left null.
void keepText(char *&slot, uint32_t &capacity, const char *text);

// Frees *p and sets it to null.
template <typename T>
void disposeAndClear(T *&p) {
    DisposePtr(p);
    p = nullptr;
}

}  // namespace kestrom
