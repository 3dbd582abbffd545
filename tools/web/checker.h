// checker.h - a parameter file checked before the module reloads it: the
// kestrom-check program run on the text, its findings (FILE:LINE:COLUMN:
// severity: text) read back line by line.  It runs in a process of its own,
// so it never touches the playground's simulated server.
#pragma once

#include <string>
#include <vector>

namespace kestrom::web {

struct Finding {
    int line = 0; // 0: the file as a whole
    int column = 0;
    std::string severity; // "error", "warning", "note"
    std::string text;
};

struct CheckOutcome {
    bool ran = false;  // the checker ran and judged the file
    int status = 0;    // its exit status: 0 clean, 1 warnings, 2 errors
    std::vector<Finding> findings;
    std::string failure; // why it could not judge, when it did not
    bool hasErrors() const { return !ran || status >= 2; }
};

// The findings in the checker's output about `file`; lines about anything
// else become findings of the whole file.
std::vector<Finding> readFindings(const std::string &output, const std::string &file);

class Checker {
public:
    // The kestrom-check program, the module it loads, and a folder of its own
    // for the texts it checks.
    Checker(std::string program, std::string module, std::string scratch);

    // Writes `text` to a file of its own and checks it.  Safe from any thread.
    CheckOutcome check(const std::string &text) const;

private:
    CheckOutcome run(const std::string &file) const;

    std::string program_, module_, scratch_;
};

}  // namespace kestrom::web
