// web_unavailable.cpp - runWeb in a kestrom-sim built without the libraries
// of the web playground: it says which packages to install.
#include "tools/web/web.h"

#include <iostream>

namespace kestrom::web {

bool webAvailable() { return false; }

int runWeb(const WebOptions &) {
    std::cerr << "kestrom-sim: this build has no web playground: it needs cpp-httplib and nlohmann-json\n"
                 "  (apt-get install libcpp-httplib-dev nlohmann-json3-dev), then build again\n";
    return 2;
}

}  // namespace kestrom::web
