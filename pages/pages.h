// pages.h - page screening: pages typed as chat lines.
#pragma once

#include "core/state.h"

namespace kestrom {

// 1 when the chat line is a page (`page or `pag after a quote character).
int isPageCommand(const char *line, ServerState *serverState, MyState *state);
// 1 when the current user's page is refused (the user has been told why).
int pageIsNotAcceptable(ServerState *serverState, MyState *state, const char *line);

}  // namespace kestrom
