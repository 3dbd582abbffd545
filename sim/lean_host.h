// lean_host.h - a host whose operations cost what any real host's must at
// the least, for measuring the module's own time: while one is in force,
// NewPtr and NewPtrClear are malloc and calloc, DisposePtr is free, and the
// log and every text to users are counted, neither formatted nor stored.
// Everything else still goes to the active server.
//
// The simulated heap keeps a record of every block out and the server
// formats and records texts; both are the simulator's costs, not the
// module's, and no subtraction after the fact takes them out exactly.  A
// lean host is in force from before the module starts to after it stops,
// so that no block crosses from one heap to the other:
//
//     sim::LeanHost lean;
//     void *module = initializeServerPlugin(...);
//     ... time the work ...
//     shutdownServerPlugin(...);
//     lean.outstanding()                  // 0: everything given back
//
// Allocation failures cannot be injected under a lean host.
#pragma once

#include <cstddef>

namespace kestrom::sim {

class LeanHost {
  public:
    LeanHost();
    ~LeanHost();
    LeanHost(const LeanHost &) = delete;
    LeanHost &operator=(const LeanHost &) = delete;

    // The lean host in force, or null.
    static LeanHost *active();

    void *allocate(size_t size, bool clear);
    void release(void *block);
    void countLogLine() { ++logLines_; }
    void countText() { ++texts_; }

    long allocations() const { return allocations_; }
    long outstanding() const { return allocations_ - failed_ - releases_; }
    long logLines() const { return logLines_; }
    long texts() const { return texts_; }

  private:
    LeanHost *outer_; // the one in force before, back in force after
    long allocations_ = 0, failed_ = 0, releases_ = 0;
    long logLines_ = 0, texts_ = 0;
};

}  // namespace kestrom::sim
