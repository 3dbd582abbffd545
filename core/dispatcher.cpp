// dispatcher.cpp - handleMessage: every client message, passed or swallowed.
//
// Stage 1 applies to everyone: chat lines (help, commands, chat rules), room
// changes and moves.  Stage 2 applies to users whose host flags do not exempt
// them: pages, names, logons, faces, colours, avatars, loose props, hotspot
// states, list requests and requests for operator status.
//
// Every body field is read at its offset with readField, after the body has
// been checked to hold it: the host hands over whatever a client sent.
#include "commands/commands.h"
#include "core/chat.h"
#include "core/helpers.h"
#include "core/memory.h"
#include "core/trace.h"
#include "limits/limits.h"
#include "rooms/rooms.h"

#include <cstring>

using namespace kestrom;

namespace {

enum class Verdict { Pass, Swallow, Stage2 };

// The message in hand and what every screening step needs with it.
struct Message {
    ServerState *ss;
    MyState *state;
    ClientMsg *msg;
    ServerUserRec *user; // the sender, or null
    unsigned char *body;
    uint32 length; // bytes of body

    UserDat *ud() const { return userDat(state, user); }
    bool userHas(int32_t flag) const {
        const UserDat *d = ud();
        return d && (d->flags & flag);
    }
    // The body holds a NUL at or after `from`.
    bool textEndsWithin(uint32 from) const {
        return from < length && textLengthWithin(body + from, length - from) >= 0;
    }
    const char *text(uint32 from) const { return reinterpret_cast<const char *>(body + from); }
};

constexpr uint32 fourcc(const char (&code)[5]) {
    return KESTROM_FOURCC(code[0], code[1], code[2], code[3]);
}

// Client message types screened here.
constexpr uint32 MSG_TALK = fourcc("talk"), MSG_RMSG = fourcc("rmsg"), MSG_GMSG = fourcc("gmsg");
constexpr uint32 MSG_WHIS = fourcc("whis"), MSG_XTLK = fourcc("xtlk"), MSG_XWIS = fourcc("xwis");
constexpr uint32 MSG_NAVR = fourcc("navR"), MSG_ULOC = fourcc("uLoc");
constexpr uint32 MSG_SROM = fourcc("sRom"), MSG_DOWN = fourcc("down");
constexpr uint32 MSG_SMSG = fourcc("smsg"), MSG_USRN = fourcc("usrN"), MSG_REGI = fourcc("regi");
constexpr uint32 MSG_USRF = fourcc("usrF"), MSG_USRC = fourcc("usrC");
constexpr uint32 MSG_USRD = fourcc("usrD"), MSG_USRP = fourcc("usrP");
constexpr uint32 MSG_NPRP = fourcc("nPrp"), MSG_MPRP = fourcc("mPrp"), MSG_DPRP = fourcc("dPrp");
constexpr uint32 MSG_LOCK = fourcc("lock"), MSG_UNLO = fourcc("unlo"), MSG_SSTA = fourcc("sSta");
constexpr uint32 MSG_RLST = fourcc("rLst"), MSG_ULST = fourcc("uLst"), MSG_SUSR = fourcc("susr");

constexpr uint32 GUEST_REGISTRATION_CRC = 0x00C0FFEE; // the host's checksum for guests
constexpr uint32 CLIENT_TYPE_MASK = 0x80000000u;
constexpr sint16 MAX_FACE = 12, MAX_COLOR = 15;
constexpr int DECODED_TEXT_SIZE = 256;
constexpr uint16 MIN_CODED_LENGTH = 3, MAX_CODED_LENGTH = 258;

// Sends the user's real looks, position and name back to the own client,
// then swallows.
Verdict refuseAndCorrect(const Message &m) {
    resetUser(m.ss, m.state);
    return Verdict::Swallow;
}

Verdict swallowIf(int refused) { return refused ? Verdict::Swallow : Verdict::Pass; }

Verdict correctIf(const Message &m, int refused) {
    return refused ? refuseAndCorrect(m) : Verdict::Pass;
}

// Swallows a message without a sender, or with a body that does not hold
// its fields (traced as malformed).
Verdict swallowBadBody(const Message &m) {
    traceMalformed(m.state, m.user);
    return Verdict::Swallow;
}

// The sender has one of the gag flags (traced when so).
bool gagged(const Message &m, int32_t flag, const char *name, bool tells) {
    if (!m.userHas(flag)) return false;
    traceFixed(m.state, m.user, name, true, tells);
    return true;
}

// ---------------------------------------------------------------- stage 1

// Help, then commands and the chat rules, for a plain chat line.
Verdict screenLine(const Message &m, const char *line, UserID target, const char *kind) {
    if (isCommandExecuted(m.ss, m.state, line, target)) return Verdict::Swallow;
    if (badchat(line, m.ss, m.state, target, kind)) return Verdict::Swallow;
    return Verdict::Stage2;
}

// 'talk', 'rmsg', 'gmsg': a NUL-terminated line.
Verdict screenChat(const Message &m, const char *kind) {
    if (!m.user || !m.textEndsWithin(0)) return swallowBadBody(m);
    return screenLine(m, m.text(0), 0, kind);
}

Verdict screenRoomMessage(const Message &m) {
    if (roommsgComingTooFast(m.ss, m.state)) return Verdict::Swallow;
    return screenChat(m, "roommsg");
}

// 'whis': the target, then a NUL-terminated line.
Verdict screenWhisper(const Message &m) {
    if (!m.user || !m.textEndsWithin(sizeof(UserID))) return swallowBadBody(m);
    return screenLine(m, m.text(sizeof(UserID)), readField<UserID>(m.body), "whisper");
}

// Decodes `coded` bytes of encoded text at `from`, never more than the body
// holds, and screens the line.
Verdict screenCoded(const Message &m, uint32 from, uint16 coded, UserID target, const char *kind) {
    char line[DECODED_TEXT_SIZE] = {};
    const uint32 available = m.length - from;
    uint32 count = coded - MIN_CODED_LENGTH;
    if (count > available) count = available;
    DecryptCString(m.body + from, line, static_cast<sint32>(count), 0);
    line[DECODED_TEXT_SIZE - 1] = '\0';
    return screenLine(m, line, target, kind);
}

bool codedLengthValid(uint16 coded) {
    return coded >= MIN_CODED_LENGTH && coded <= MAX_CODED_LENGTH;
}

// 'xtlk': a 16-bit length, then encoded text.
Verdict screenCodedTalk(const Message &m) {
    if (!m.user) return Verdict::Swallow;
    if (m.length <= 1) return Verdict::Pass;
    const auto coded = readField<uint16>(m.body);
    if (!codedLengthValid(coded)) return swallowBadBody(m);
    return screenCoded(m, sizeof(uint16), coded, 0, "xtalk");
}

// 'xwis': the target, a 16-bit length, then encoded text.
Verdict screenCodedWhisper(const Message &m) {
    constexpr uint32 textAt = sizeof(UserID) + sizeof(uint16);
    if (!m.user || m.length < textAt) return swallowBadBody(m);
    const auto coded = readField<uint16>(m.body + sizeof(UserID));
    if (!codedLengthValid(coded) || coded + sizeof(UserID) > m.length) return swallowBadBody(m);
    return screenCoded(m, textAt, coded, readField<UserID>(m.body), "xwhisper");
}

// The plug-in moves the user itself, past the host's own entry checks.
Verdict moveInto(const Message &m, ServerRoomRec *room) {
    ChangeUserRoom(m.user, room, 1, m.msg);
    return Verdict::Swallow;
}

// The user owns a member room, and this is the one.
bool isOwnMemberRoom(const ServerUserRec *user, const ServerRoomRec *room) {
    return room->memberOwner != 0 && user->lastOwnedRoom && room->memberOwner == user->counter;
}

// While wizInMemberRooms is on, operators pass the closed door or the
// password of a member room.
bool operatorMayEnter(const MyState *state, ServerUserRec *user, const ServerRoomRec *room) {
    return state->wizInMemberRooms && room->memberOwner != 0 && isClosedOrPassworded(room) &&
           UserRank(user) >= RANK_WIZARD;
}

// Every occupant slot of the room is taken.
bool isFull(const ServerState *ss, const ServerRoomRec *room) {
    if (!room->occupants) return false;
    for (int slot = 0; slot < ss->maxPeoplePerRoom; ++slot)
        if (room->occupants[slot] == 0) return false;
    return true;
}

// The room change will happen: the room exists and has a free slot, and
// unless the module moves the user in itself, the server's own rules let
// the user in (the room is open, has no password, and admits members when
// the user is below operator rank).
bool roomChangeWillHappen(const Message &m, const ServerRoomRec *room, bool moduleMoves) {
    if (!room || isFull(m.ss, room)) return false;
    if (moduleMoves) return true;
    if (isClosedOrPassworded(room)) return false;
    return !(room->room.roomFlags & RMF_NOMEMBERS) || UserRank(m.user) >= RANK_WIZARD;
}

// 'navR': room entry rules, the owner's way home and the operators' way into
// closed or passworded member rooms.
Verdict screenRoomChange(const Message &m) {
    if (!m.user || m.length < sizeof(RoomID)) return swallowBadBody(m);
    const auto dest = readField<RoomID>(m.body);
    if (!roomEntryPermitted(m.ss, m.state, dest, m.user)) {
        sendMsgNavError(toUser(m.user), 1);
        return refuseAndCorrect(m);
    }
    if (dest == m.user->user.roomID) return Verdict::Stage2;

    // Every room change that happens leaves the old room's state behind, the
    // owner's way into the own room included; one the server will refuse
    // clears nothing.
    ServerRoomRec *room = GetRoom(dest);
    const bool moduleMoves =
        room && (isOwnMemberRoom(m.user, room) || operatorMayEnter(m.state, m.user, room));
    if (roomChangeWillHappen(m, room, moduleMoves)) clearDataForRoomChange(m.ss, m.state, m.user);
    if (moduleMoves) return moveInto(m, room);
    return Verdict::Stage2; // the server moves the user, with its own checks
}

// 'uLoc': moves, slides and personal space.
Verdict screenMove(const Message &m) {
    if (!m.user || m.length < sizeof(Point)) return swallowBadBody(m);
    if (moveComingTooFast(m.ss, m.state, readField<Point>(m.body))) return refuseAndCorrect(m);
    return Verdict::Stage2;
}

Verdict needsUser(const Message &m) { return m.user ? Verdict::Stage2 : Verdict::Swallow; }

Verdict screenStage1(const Message &m) {
    switch (m.msg->eventType) {
        case MSG_TALK: return screenChat(m, "talk");
        case MSG_RMSG: return screenRoomMessage(m);
        case MSG_GMSG: return screenChat(m, "gblmsg");
        case MSG_WHIS: return screenWhisper(m);
        case MSG_XTLK: return screenCodedTalk(m);
        case MSG_XWIS: return screenCodedWhisper(m);
        case MSG_NAVR: return screenRoomChange(m);
        case MSG_ULOC: return screenMove(m);
        case MSG_SROM:
        case MSG_DOWN: return needsUser(m);
        default: return Verdict::Stage2;
    }
}

// ---------------------------------------------------------------- stage 2

// 'smsg': a page to the operators, under the page and repeated-page rules.
Verdict screenPage(const Message &m) {
    if (gagged(m, UF_PAGEGAGGED, rule::PAGEGAG, true)) {
        UserMessage(m.user, "%s", "Sorry, you've been pagegagged.");
        return Verdict::Swallow;
    }
    if (!m.user || !m.textEndsWithin(0)) return swallowBadBody(m);
    UserDat *ud = m.ud();
    if (!ud) return Verdict::Pass;
    if (!ud->lastChat) keepText(ud->lastChat, ud->lastChatCapacity, "");
    if (!ud->lastChat) return Verdict::Pass;

    const char *text = m.text(0);
    ServerRoomRec *room = getUserRoom(m.user);
    if (std::strcmp(text, ud->lastChat) == 0)
        return swallowIf(rateRefuses(m.ss, m.state, ud, room, REPPAGE_RATE));
    if (rateRefuses(m.ss, m.state, ud, room, PAGE_RATE)) return Verdict::Swallow;
    keepText(ud->lastChat, ud->lastChatCapacity, text);
    return Verdict::Pass;
}

// 'usrN': the name gag, the name rules and the name-change rate.
Verdict screenName(const Message &m) {
    if (!m.user) return Verdict::Swallow;
    if (gagged(m, UF_NAMEGAGGED, rule::NAMEGAG, true)) {
        UserMessage(m.user, "%s", "Sorry, you've been namegagged.");
        return refuseAndCorrect(m);
    }
    if (m.length < 1 || m.length < m.body[0] + 1u) return swallowBadBody(m);
    // A legal name comes out of cleaning unchanged, so a copy is judged and
    // the message itself stays as the client sent it.
    Str31 name = {};
    std::memcpy(name, m.body, m.length < sizeof name ? m.length : sizeof name);
    if (checkName(name, m.ss, m.state, "username")) {
        UserMessage(m.user, "%s", "Sorry that name is illegal");
        traceFixed(m.state, m.user, rule::ILLEGALNAME, true, true);
        return refuseAndCorrect(m);
    }
    return correctIf(m, nameComingTooFast(m.ss, m.state));
}

// 'regi': the client type, and the logon name cleaned in place.
Verdict screenLogon(const Message &m) {
    if (!m.user || m.length < REGI_RECORD_SIZE) return swallowBadBody(m);
    if (UserDat *ud = m.ud())
        ud->clientType =
            static_cast<int32_t>(readField<uint32>(m.body + REGI_OFFSET_AUXFLAGS) & CLIENT_TYPE_MASK);
    checkName(m.body + REGI_OFFSET_USERNAME, m.ss, m.state, "logon");
    return Verdict::Pass;
}

// 'usrF' and 'usrC': a face or colour within 0..highest, at the face rate.
Verdict screenLooks(const Message &m, sint16 highest) {
    if (faceComingTooFast(m.ss, m.state)) return refuseAndCorrect(m);
    const bool fits = m.length >= sizeof(sint16);
    const auto value = fits ? readField<sint16>(m.body) : sint16{0};
    if (!fits || value < 0 || value > highest) {
        traceMalformed(m.state, m.user);
        return refuseAndCorrect(m);
    }
    return Verdict::Pass;
}

// The props of an avatar message: count at countAt, entries after it.  False
// when the count is negative or the body is too short for it.  Only the
// first nine are copied: no check reads more.
bool readAvatar(const Message &m, uint32 countAt, int32_t &nbrProps,
                AssetSpec (&props)[KESTROM_MAX_WORN_PROPS]) {
    const uint32 propsAt = countAt + sizeof(int32_t);
    if (m.length < propsAt) return false;
    nbrProps = readField<int32_t>(m.body + countAt);
    if (nbrProps < 0) return false;
    if (m.length < propsAt + uint64_t{sizeof(AssetSpec)} * static_cast<uint32>(nbrProps)) return false;
    const int32_t kept = nbrProps < KESTROM_MAX_WORN_PROPS ? nbrProps : KESTROM_MAX_WORN_PROPS;
    std::memcpy(props, m.body + propsAt, sizeof(AssetSpec) * static_cast<size_t>(kept));
    return true;
}

// 'usrD': a whole description: avatar rules, then the face rate when the
// face or colour changes.
Verdict screenDescription(const Message &m) {
    int32_t nbrProps = 0;
    AssetSpec props[KESTROM_MAX_WORN_PROPS];
    if (!m.user || !readAvatar(m, 2 * sizeof(sint16), nbrProps, props)) return swallowBadBody(m);
    if (avatarComingTooFast(m.ss, m.state, nbrProps, props)) return refuseAndCorrect(m);
    const auto face = readField<sint16>(m.body);
    const auto color = readField<sint16>(m.body + sizeof(sint16));
    if (face == m.user->user.faceNbr && color == m.user->user.colorNbr) return Verdict::Pass;
    return correctIf(m, faceComingTooFast(m.ss, m.state));
}

// 'usrP': worn props.
Verdict screenWornProps(const Message &m) {
    int32_t nbrProps = 0;
    AssetSpec props[KESTROM_MAX_WORN_PROPS];
    if (!m.user || !readAvatar(m, 0, nbrProps, props)) return swallowBadBody(m);
    return correctIf(m, avatarComingTooFast(m.ss, m.state, nbrProps, props));
}

// 'nPrp': a loose prop dropped: the drop rules, then the same prop too close.
Verdict screenPropDrop(const Message &m) {
    if (!m.user || m.length < sizeof(AssetSpec) + sizeof(Point)) return swallowBadBody(m);
    if (propsComingTooFast(m.ss, m.state)) return Verdict::Swallow;
    const auto prop = readField<AssetSpec>(m.body);
    const auto pos = readField<Point>(m.body + sizeof(AssetSpec));
    return swallowIf(anotherPropAlreadyAt(m.ss, m.state, nullptr, prop, pos));
}

// 'mPrp': a loose prop moved.
Verdict screenPropMove(const Message &m) {
    if (!m.user || m.length < sizeof(PropMove)) return swallowBadBody(m);
    const PropMove move = {readField<int32_t>(m.body), readField<Point>(m.body + sizeof(int32_t))};
    return swallowIf(isBadPropMove(m.ss, m.state, &move));
}

// 'dPrp': one loose prop, or all of them (-1), deleted.
Verdict screenPropDelete(const Message &m) {
    if (!m.user || m.length < sizeof(int32_t)) return swallowBadBody(m);
    return swallowIf(propDelBlocked(m.ss, m.state, readField<int32_t>(m.body)));
}

// 'lock', 'unlo' (4-byte body) and 'sSta' (6-byte body): the spot-state rate.
Verdict screenSpotState(const Message &m, uint32 bodySize) {
    if (!m.user || m.length < bodySize) return swallowBadBody(m);
    return correctIf(m, spotStateComingTooFast(m.ss, m.state));
}

// 'rLst' and 'uLst': the list gag; only the room list is refused with a text.
Verdict screenListRequest(const Message &m, bool tell) {
    if (!m.user) return Verdict::Swallow;
    if (!gagged(m, UF_LISTGAGGED, rule::LISTGAG, tell)) return Verdict::Pass;
    if (tell) UserMessage(m.user, "%s", "Sorry, you've been listgagged.");
    return refuseAndCorrect(m);
}

// 'susr': guests may ask for operator status only while guestWiz is on.
Verdict screenOperatorRequest(const Message &m) {
    if (!m.user) return Verdict::Pass;
    const bool guest = UserRank(m.user) == RANK_GUEST || m.user->crc == GUEST_REGISTRATION_CRC;
    const bool refused = guest && m.state->guestWiz == 0;
    if (refused) traceFixed(m.state, m.user, rule::GUESTWIZ, true);
    return swallowIf(refused);
}

Verdict screenStage2(const Message &m) {
    if (isPrivileged(m.user)) return Verdict::Pass;
    switch (m.msg->eventType) {
        case MSG_SMSG: return screenPage(m);
        case MSG_USRN: return screenName(m);
        case MSG_REGI: return screenLogon(m);
        case MSG_USRF: return screenLooks(m, MAX_FACE);
        case MSG_USRC: return screenLooks(m, MAX_COLOR);
        case MSG_USRD: return screenDescription(m);
        case MSG_USRP: return screenWornProps(m);
        case MSG_NPRP: return screenPropDrop(m);
        case MSG_MPRP: return screenPropMove(m);
        case MSG_DPRP: return screenPropDelete(m);
        case MSG_LOCK:
        case MSG_UNLO: return screenSpotState(m, sizeof(RoomID) + sizeof(HotspotID));
        case MSG_SSTA: return screenSpotState(m, sizeof(RoomID) + sizeof(HotspotID) + sizeof(sint16));
        case MSG_RLST: return screenListRequest(m, true);
        case MSG_ULST: return screenListRequest(m, false);
        case MSG_SUSR: return screenOperatorRequest(m);
        default: return Verdict::Pass;
    }
}

// Logs a message that arrived with no sender, naming its type code.
void logNoUser(const ClientMsg *msg) {
    const char code[5] = {static_cast<char>(msg->eventType >> 24), static_cast<char>(msg->eventType >> 16),
                          static_cast<char>(msg->eventType >> 8), static_cast<char>(msg->eventType), '\0'};
    FormattedLogMessage(nullptr, "kestrom", "No user for message type %.4s", code);
}

}  // namespace

extern "C" ClientMsg *handleMessage(ServerState *ss, void *pluginDat, ClientMsg *msg) {
    if (!ss || !msg) return msg;
    if (!ss->currentUser) logNoUser(msg);
    if (!pluginDat) return msg;

    const Message m = {ss, static_cast<MyState *>(pluginDat), msg, ss->currentUser,
                       clientMsgBody(msg), msg->length};
    m.state->inMessage = true; // the rate checks of this message read the clock once
    m.state->messageTimeRead = false;
    m.state->traceMessageType = msg->eventType;
    m.state->traceTimerAction = KESTROM_NO_TIMER;
    Verdict verdict = screenStage1(m);
    if (verdict == Verdict::Stage2) verdict = screenStage2(m);
    m.state->inMessage = false;
    return verdict == Verdict::Pass ? msg : nullptr;
}
