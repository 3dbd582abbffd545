// console.cpp - choosing the console's line source.
#include "sim/console/console.h"

#include "sim/console/editor.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>

namespace kestrom::sim::console {

namespace {

constexpr const char *HISTORY_FILE = ".kestrom_sim_history";

}  // namespace

std::string historyPath() {
    const char *home = std::getenv("HOME");
    if (!home || !*home) {
        const passwd *account = getpwuid(getuid());
        home = account ? account->pw_dir : nullptr;
    }
    if (!home || !*home) return "";
    std::string path = home;
    if (path.back() != '/') path += '/';
    return path + HISTORY_FILE;
}

void runConsole(ScenarioRunner &runner) {
    const bool typed = isatty(STDIN_FILENO);
    if (typed && isatty(STDOUT_FILENO))
        if (auto editor = openEditor(historyPath())) return runner.runConsole(*editor);
    if (typed && !lineEditingBuilt())
        std::cerr << "kestrom-sim: this build has no line editing or history (apt-get install libedit-dev, "
                     "then build again)\n";
    runner.runConsole(std::cin, typed);
}

}  // namespace kestrom::sim::console
