// guard.h - which requests may reach the playground.  It listens on the
// loopback address only, and answers only requests addressed to itself
// (Host) and, when a page sent them, coming from its own page (Origin): no
// other site open in the browser may drive it, and no name that happens to
// resolve to 127.0.0.1 may reach it.
#pragma once

#include <string>
#include <string_view>

namespace kestrom::web {

class Guard {
public:
    explicit Guard(int port) : port_(port) {}
    void setPort(int port) { port_ = port; }

    // True when a request with these headers ("" for one not sent) may go
    // on; otherwise `why` says what was wrong.
    bool admits(std::string_view host, std::string_view origin, std::string &why) const;

private:
    bool isOwnHost(std::string_view host) const;
    int port_;
};

}  // namespace kestrom::web
