// screening.cpp - the first look at every chat line: chat-goto phrases move
// the speaker (or, for an operator's whisper, the user whispered to), and
// command lines go to dispatch.
#include "commands/commands.h"

#include "commands/scan.h"
#include "core/helpers.h"
#include "core/trace.h"
#include "limits/limits.h"
#include "rooms/rooms.h"

#include <cstring>

namespace kestrom {

namespace {

// The hash of a line as strcmpci sees it: its length and its first and last
// eight characters, case folded.  Lines that strcmpci finds equal have the
// same hash.
uint32_t phraseHash(const char *line) {
    const size_t length = std::strlen(line);
    uint32_t hash = 2166136261u ^ static_cast<uint32_t>(length);
    const size_t head = length < 8 ? length : 8;
    for (size_t i = 0; i < head; ++i) hash = (hash ^ static_cast<unsigned char>(foldCase(line[i]))) * 16777619u;
    for (size_t i = length > 8 ? length - 8 : length; i < length; ++i)
        hash = (hash ^ static_cast<unsigned char>(foldCase(line[i]))) * 16777619u;
    return hash ^ (hash >> 15);
}

uint32_t bucketOf(uint32_t hash) { return hash & (PHRASE_BUCKETS - 1); }

// Files the chain's phrases in their buckets, each bucket in chain order.
void fillPhraseBuckets(MyState *state) {
    LimitValue *tails[PHRASE_BUCKETS] = {};
    for (LimitValue *&bucket : state->phraseBuckets) bucket = nullptr;
    for (LimitValue *entry = state->limits[P_CHATGOTO]; entry; entry = entry->next) {
        if (!entry->string) continue;
        entry->phraseHash = phraseHash(entry->string);
        entry->phraseNext = nullptr;
        const uint32_t b = bucketOf(entry->phraseHash);
        (tails[b] ? tails[b]->phraseNext : state->phraseBuckets[b]) = entry;
        tails[b] = entry;
    }
}

}  // namespace

// The first in chain order among the entries of the line's bucket.
const LimitValue *findChatGoto(MyState *state, const char *line) {
    if (!state->limits[P_CHATGOTO]) return nullptr;
    const uint32_t stamp = ruleChainStamp(state, P_CHATGOTO);
    if (state->phraseStamp != stamp) {
        fillPhraseBuckets(state);
        state->phraseStamp = stamp;
    }
    const uint32_t hash = phraseHash(line);
    for (const LimitValue *entry = state->phraseBuckets[bucketOf(hash)]; entry; entry = entry->phraseNext)
        if (entry->phraseHash == hash && strcmpci(line, entry->string) == 0) return entry;
    return nullptr;
}

namespace {

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
