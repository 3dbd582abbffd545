// module.cpp - resolving the module's entry points.
#include "sim/module.h"

#include <dlfcn.h>

namespace kestrom::sim {

bool ModuleEntryPoints::complete() const {
    return initializeServerPlugin && shutdownServerPlugin && noteUserCreation && noteUserDeletion &&
           noteRoomCreation && noteRoomDeletion && noteUserRoomEntry && handleMessage &&
           handleTimerEvent;
}

namespace {

// Looks up one entry point; false with `error` set when it is missing.
template <typename Fn>
bool resolve(void *handle, const char *name, Fn &slot, std::string &error) {
    slot = reinterpret_cast<Fn>(dlsym(handle, name));
    if (slot) return true;
    error = std::string("the module has no entry point ") + name;
    return false;
}

}  // namespace

bool ModuleLibrary::open(const std::string &path, std::string &error) {
    close();
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char *why = dlerror();
        error = "cannot load module " + path + ": " + (why ? why : "unknown error");
        return false;
    }
    ModuleEntryPoints e;
    const bool ok = resolve(handle_, "initializeServerPlugin", e.initializeServerPlugin, error) &&
                    resolve(handle_, "shutdownServerPlugin", e.shutdownServerPlugin, error) &&
                    resolve(handle_, "noteUserCreation", e.noteUserCreation, error) &&
                    resolve(handle_, "noteUserDeletion", e.noteUserDeletion, error) &&
                    resolve(handle_, "noteRoomCreation", e.noteRoomCreation, error) &&
                    resolve(handle_, "noteRoomDeletion", e.noteRoomDeletion, error) &&
                    resolve(handle_, "noteUserRoomEntry", e.noteUserRoomEntry, error) &&
                    resolve(handle_, "handleMessage", e.handleMessage, error) &&
                    resolve(handle_, "handleTimerEvent", e.handleTimerEvent, error);
    if (!ok) {
        close();
        return false;
    }
    entry_ = e;
    return true;
}

void ModuleLibrary::close() {
    if (handle_) dlclose(handle_);
    handle_ = nullptr;
    entry_ = ModuleEntryPoints{};
}

}  // namespace kestrom::sim
