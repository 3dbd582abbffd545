// memory.cpp - text copies in host memory.
#include "core/memory.h"

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

}  // namespace kestrom
