// loader.cpp - reading the parameter file.
// PLACEHOLDER: checks the argument and the file, then loads no rules.
#include "core/memory.h"
#include "params/params.h"

#include <cerrno>
#include <cstring>

namespace kestrom {

int loadParameterFile(MyState *state, ServerUserRec *user) {
    if (state->argc < 2) {
        FormattedLogMessage(nullptr, "kestrom", "%s", "Usage: ../bin/kestrom.so parameter-file");
        return 0;
    }
    const char *path = state->argv[1];
    FILE *f = std::fopen(path, "r");
    if (!f) {
        const int err = errno;
        FormattedLogMessage(user, "kestrom", "Open failed %s, errno=%d, on file %s", std::strerror(err), err, path);
        if (user) UserPrivateMessage(user, "Open failed %s, errno=%d, on file %s", std::strerror(err), err, path);
        return 0;
    }
    freeLimits(state);
    std::fclose(f);
    return 1;
}

}  // namespace kestrom
