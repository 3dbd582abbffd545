// page_screening.cpp - pages typed as chat lines (`page or `pag and a
// message): the page gag and the length rule.  The rate rules and the record
// of the last page are kept by chat screening.
#include "pages/pages.h"

#include "commands/scan.h"
#include "core/trace.h"

#include <cstring>

namespace kestrom {

int isPageCommand(const char *line, ServerState *, MyState *) {
    return isCommandQuote(line[0]) && wordMinCmp(line + 1, "page", 3) == 0;
}

int pageIsNotAcceptable(ServerState *serverState, MyState *state, const char *line) {
    ServerUserRec *user = serverState->currentUser;
    if (!user) return 1;
    const UserDat *ud = userDat(state, user);
    if (ud && (ud->flags & UF_PAGEGAGGED)) {
        UserMessage(user, "%s", "Sorry, you've been pagegagged.");
        traceFixed(state, user, rule::PAGEGAG, true, true);
        return 1;
    }
    const char *message = nextWord(line + wordLength(line));
    if (!message) {
        UserMessage(user, "%s", "; Usage: `page <msg>");
        traceFixed(state, user, rule::ARGUMENT, true, true);
        return 1;
    }
    // Unsigned on both sides: a negative pagelength refuses every page.
    const auto length = static_cast<uint32_t>(std::strlen(message));
    if (length > static_cast<uint32_t>(state->pageLengthLimit)) return 0;
    UserMessage(user, "%s",
                "Your page was not accepted because there wasn't enough information. Please page "
                "again with more detailed message.");
    traceFixed(state, user, rule::PAGELENGTH, true, true);
    return 1;
}

}  // namespace kestrom
