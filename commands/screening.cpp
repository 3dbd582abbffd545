// screening.cpp - the first look at every chat line: chat-goto phrases move
// the speaker (or, for an operator's whisper, the user whispered to), and
// command lines go to dispatch.
#include "commands/commands.h"

#include "commands/scan.h"
#include "core/helpers.h"
#include "core/trace.h"
#include "rooms/rooms.h"

namespace kestrom {

namespace {

// The first chat-goto entry whose phrase is the whole line, any case.
const LimitValue *findChatGoto(const MyState *state, const char *line) {
    for (const LimitValue *entry = state->limits[P_CHATGOTO]; entry; entry = entry->next)
        if (entry->string && strcmpci(line, entry->string) == 0) return entry;
    return nullptr;
}

// The entry's room: the low 16 bits of maximum; 0 means the speaker's room.
RoomID chatGotoRoom(const LimitValue *entry, const ServerUserRec *speaker) {
    const auto room = static_cast<RoomID>(static_cast<uint16_t>(entry->maximum & 0xFFFFu));
    return room != 0 ? room : speaker->user.roomID;
}

// Moves the speaker, or the user an operator whispered the phrase to, to the
// entry's room.  Nonzero swallows the line.
int goByPhrase(const LimitValue *entry, ServerState *serverState, MyState *state, UserID target) {
    ServerUserRec *speaker = serverState->currentUser;
    const RoomID dest = chatGotoRoom(entry, speaker);
    const int speakerRank = UserRank(speaker);
    ServerUserRec *mover = speaker;
    if (target != 0 && speakerRank >= RANK_WIZARD) {
        mover = GetServerUser(target);
        if (!mover) {
            UserMessage(speaker, "%s", "Whisper target not found");
            traceRule(state, speaker, P_CHATGOTO, entry, nullptr, true, true, target);
            return 1;
        }
    }
    char moverName[NAME_SIZE];
    getCUserName(moverName, mover);
    const UserID moved = mover == speaker ? 0 : mover->user.userID;
    if (speakerRank < UserRank(mover)) {
        UserMessage(speaker, "You can't move %s", moverName);
        traceRule(state, speaker, P_CHATGOTO, entry, nullptr, true, true, moved);
        return 1;
    }
    if (!roomEntryPermitted(serverState, state, dest, mover)) return 0;
    if (mover != speaker) {
        char speakerName[NAME_SIZE];
        getCUserName(speakerName, speaker);
        FormattedLogMessage(speaker, "chatgoto", "{%s} sent {%s} to room %d by chatgoto",
                            speakerName, moverName, dest);
    }
    generateGotoRoom(serverState, state, mover, dest);
    traceRule(state, speaker, P_CHATGOTO, entry, nullptr, false, false, moved);
    return 1;
}

}  // namespace

int isBadCommand(const char *line, ServerState *serverState, MyState *state, UserID target) {
    if (!serverState->currentUser) return 0;
    if (const LimitValue *entry = findChatGoto(state, line))
        return goByPhrase(entry, serverState, state, target);
    if (isCommandQuote(line[0])) return dispatchCommand(line, serverState, state, target);
    return 0;
}

}  // namespace kestrom
