// module.h - the module's nine entry points as the simulated server calls
// them, and loading them from a shared object with dlopen.
#pragma once

#include "core/host.h"

#include <string>

namespace kestrom::sim {

struct ModuleEntryPoints {
    decltype(&::initializeServerPlugin) initializeServerPlugin = nullptr;
    decltype(&::shutdownServerPlugin) shutdownServerPlugin = nullptr;
    decltype(&::noteUserCreation) noteUserCreation = nullptr;
    decltype(&::noteUserDeletion) noteUserDeletion = nullptr;
    decltype(&::noteRoomCreation) noteRoomCreation = nullptr;
    decltype(&::noteRoomDeletion) noteRoomDeletion = nullptr;
    decltype(&::noteUserRoomEntry) noteUserRoomEntry = nullptr;
    decltype(&::handleMessage) handleMessage = nullptr;
    decltype(&::handleTimerEvent) handleTimerEvent = nullptr;

    bool complete() const;
};

// A module loaded with dlopen (RTLD_NOW | RTLD_LOCAL); dlclosed when the
// object goes away.
class ModuleLibrary {
public:
    ModuleLibrary() = default;
    ModuleLibrary(const ModuleLibrary &) = delete;
    ModuleLibrary &operator=(const ModuleLibrary &) = delete;
    ~ModuleLibrary() { close(); }

    // Loads `path` and resolves the nine entry points; false with `error`
    // set when the object cannot be loaded or lacks one of them.
    bool open(const std::string &path, std::string &error);
    void close();

    bool isOpen() const { return handle_ != nullptr; }
    const ModuleEntryPoints &entryPoints() const { return entry_; }

private:
    void *handle_ = nullptr;
    ModuleEntryPoints entry_;
};

}  // namespace kestrom::sim
