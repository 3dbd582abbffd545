// chat.h - chat screening: every chat line, and the cleaning of user names.
#pragma once

#include "core/state.h"

namespace kestrom {

// Nonzero when the line must be swallowed: a command was carried out or
// refused, or a chat rule refused it.  `where` names the kind of line
// ("talk", "roommsg", "gblmsg", "whisper", "xtalk", "xwhisper").
int badchat(const char *line, ServerState *serverState, MyState *state, UserID target,
            const char *where);
// Cleans the Pascal-string name in place; 1 when it had to change.
int checkName(unsigned char *pname, ServerState *serverState, MyState *state, const char *mtype);

}  // namespace kestrom
