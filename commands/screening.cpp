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

// Eight characters case folded as foldCase folds each ('A' to 'Z' only).
uint64_t foldedEight(uint64_t x) {
    constexpr uint64_t ONES = 0x0101010101010101ull, LOW7 = 0x7F * ONES, HIGH = 0x80 * ONES;
    const uint64_t fromA = (x & LOW7) + (0x80 - 'A') * ONES; // high bit: at least 'A'
    const uint64_t pastZ = (x & LOW7) + (0x80 - 'Z' - 1) * ONES; // high bit: past 'Z'
    const uint64_t upper = (fromA ^ pastZ) & ~x & HIGH;
    return x | (upper >> 2);
}

// The hash of a line as strcmpci sees it: its length and its first and last
// eight characters, case folded.  Lines that strcmpci finds equal have the
// same hash.
uint32_t phraseHash(const char *line) {
    const size_t length = std::strlen(line);
    uint64_t head = 0, tail = 0;
    if (length >= 8) {
        std::memcpy(&head, line, 8);
        std::memcpy(&tail, line + length - 8, 8);
    } else {
        std::memcpy(&head, line, length);
        tail = head;
    }
    uint64_t h = (foldedEight(head) * 0x9E3779B97F4A7C15ull) ^ foldedEight(tail) ^ length;
    h *= 0xC2B2AE3D27D4EB4Full;
    return static_cast<uint32_t>(h >> 32);
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

constexpr int SHORT_PHRASE_LIST = 4;

}  // namespace

// A long list: the first in chain order among the entries of the line's
// bucket.
const LimitValue *findChatGoto(MyState *state, const char *line) {
    const LimitValue *first = state->limits[P_CHATGOTO];
    int entries = 0;
    for (const LimitValue *entry = first; entry && entries <= SHORT_PHRASE_LIST; entry = entry->next) ++entries;
    if (entries <= SHORT_PHRASE_LIST) { // a short list costs less walked than hashed
        for (const LimitValue *entry = first; entry; entry = entry->next)
            if (entry->string && strcmpci(line, entry->string) == 0) return entry;
        return nullptr;
    }
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
