// guard.cpp - the Host and Origin checks.
#include "tools/web/guard.h"

#include <algorithm>
#include <cctype>

namespace kestrom::web {

namespace {

// The names the page is reached by.
constexpr std::string_view OWN_NAMES[] = {"127.0.0.1", "localhost"};

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

bool Guard::isOwnHost(std::string_view host) const {
    const std::string port = ":" + std::to_string(port_);
    if (host.size() <= port.size() || host.substr(host.size() - port.size()) != port) return false;
    const std::string_view name = host.substr(0, host.size() - port.size());
    return std::any_of(std::begin(OWN_NAMES), std::end(OWN_NAMES),
                       [&](std::string_view own) { return equalsIgnoringCase(name, own); });
}

bool Guard::admits(std::string_view host, std::string_view origin, std::string &why) const {
    if (!isOwnHost(host)) {
        why = "this playground answers requests to 127.0.0.1:" + std::to_string(port_) + " only";
        return false;
    }
    if (origin.empty()) return true;
    constexpr std::string_view SCHEME = "http://";
    if (origin.size() <= SCHEME.size() || !equalsIgnoringCase(origin.substr(0, SCHEME.size()), SCHEME) ||
        !isOwnHost(origin.substr(SCHEME.size()))) {
        why = "requests from other sites are refused";
        return false;
    }
    return true;
}

}  // namespace kestrom::web
