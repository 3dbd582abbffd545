// memory.cpp - text copies in host memory, and texts kept in reused blocks.
#include "core/memory.h"

#include <algorithm>
#include <cstring>

namespace kestrom {

char *copyText(const char *s, size_t n) {
    char *copy = static_cast<char *>(NewPtr(n + 1));
    if (!copy) return nullptr;
    std::memcpy(copy, s, n);
    copy[n] = '\0';
    return copy;
}

char *copyText(const char *s) { return copyText(s, std::strlen(s)); }

// Blocks for kept texts come in multiples of this many bytes.
constexpr size_t TEXT_BLOCK = 64;

void keepText(char *&slot, uint32_t &capacity, const char *text) {
    const size_t size = std::strlen(text) + 1;
    if (slot && size <= capacity) {
        std::memmove(slot, text, size);
        return;
    }
    DisposePtr(slot);
    const size_t blockSize = (size + TEXT_BLOCK - 1) / TEXT_BLOCK * TEXT_BLOCK;
    slot = static_cast<char *>(NewPtr(blockSize));
    if (!slot) return;
    std::memcpy(slot, text, size);
    capacity = static_cast<uint32_t>(std::min<size_t>(blockSize, UINT32_MAX));
}

}  // namespace kestrom
