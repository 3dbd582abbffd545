// helpers.cpp - shared routines over host records.
#include "core/helpers.h"

#include "core/memory.h"

#include <cmath>
#include <cstdio>

namespace kestrom {

const int32_t theEndianTest = 1;

void getUserIP(char *ipstr, const ServerUserRec *user) {
    unsigned char bytes[4];
    std::memcpy(bytes, &user->netAddress.ipAddress, sizeof bytes); // network order in memory
    std::snprintf(ipstr, IPSTR_SIZE, "%d.%d.%d.%d", bytes[0], bytes[1], bytes[2], bytes[3]);
}

void getCUserName(char *cstring, const ServerUserRec *user) {
    unsigned char pname[NAME_SIZE];
    std::memcpy(pname, user->user.name, sizeof pname);
    if (pname[0] > 31) pname[0] = 31;
    std::memcpy(cstring, PtoCstr(pname), NAME_SIZE);
}

void makeServerActionLog(ServerState *, MyState *, ServerUserRec *actor, const char *action,
                         ServerUserRec *target) {
    char ip[IPSTR_SIZE], key1[KESTROM_WIZKEY_SIZE] = "", key0[KESTROM_WIZKEY_SIZE] = "";
    char name[NAME_SIZE];
    getUserIP(ip, target);
    SeedToWizKey(target, key1, 1);
    SeedToWizKey(target, key0, 0);
    key1[KESTROM_WIZKEY_SIZE - 1] = key0[KESTROM_WIZKEY_SIZE - 1] = '\0';
    getCUserName(name, target);
    char text[IPSTR_SIZE + 2 * KESTROM_WIZKEY_SIZE + NAME_SIZE + 8];
    std::snprintf(text, sizeof text, "%s %s %s \"%s\"", ip, key1, key0, name);
    FormattedLogMessage(actor, action, "%s", text);
}

ClientMsg *newMessage(uint32 type, uint32 bodyLength, sint32 refNum) {
    auto *msg = static_cast<ClientMsg *>(NewPtrClear(sizeof(ClientMsg) + bodyLength));
    if (!msg) return nullptr;
    msg->eventType = type;
    msg->length = bodyLength;
    msg->refNum = refNum;
    return msg;
}

void generateChat(ServerState *, MyState *state, ServerUserRec *user, const char *msg,
                  UserID target) {
    const size_t textSize = std::strlen(msg) + 1;
    const size_t prefix = target ? sizeof(UserID) : 0;
    const uint32 type = target ? KESTROM_FOURCC('w', 'h', 'i', 's') : KESTROM_FOURCC('t', 'a', 'l', 'k');
    ClientMsg *message = newMessage(type, static_cast<uint32>(prefix + textSize),
                                    static_cast<sint32>(user->user.userID));
    if (!message) return;
    unsigned char *body = clientMsgBody(message);
    if (target) writeField<UserID>(body, target);
    std::memcpy(body + prefix, msg, textSize);
    deliverMessageNormal(state->myPluginID, message, user);
}

void generateGotoRoom(ServerState *, MyState *state, ServerUserRec *user, RoomID roomID) {
    ClientMsg *message = newMessage(KESTROM_FOURCC('n', 'a', 'v', 'R'), sizeof(RoomID), 0);
    if (!message) return;
    writeField<RoomID>(clientMsgBody(message), roomID);
    deliverMessageNormal(state->myPluginID, message, user);
}

int isRoomOwner(ServerState *, MyState *, ServerUserRec *user, ServerRoomRec *room) {
    return room && room->memberOwner != 0 && ownsRoom(user, room) && UserRank(user) > RANK_GUEST;
}

static bool hidesFrom(const ServerUserRec *targetUser, UserID viewer) {
    if (targetUser->flags & HF_HIDDEN) return true;
    for (const UserActionRec *action = targetUser->actionList; action; action = action->nextRec)
        if ((action->actionFlags & UA_HIDEFROM) && action->target == viewer) return true;
    return false;
}

int userIsHidden(ServerState *, MyState *, ServerUserRec *targetUser, ServerUserRec *user) {
    if (UserRank(user) >= RANK_WIZARD) return 0;
    if (!hidesFrom(targetUser, user->user.userID)) return 0;
    char name[NAME_SIZE];
    getCUserName(name, targetUser);
    UserMessage(user, "User %s not found", name);
    return 1;
}

void *getInVarBuf(ServerRoomRec *room, uint32_t offset, uint32_t align) {
    if (offset == 0 || offset > room->varBufAlloc || (offset & align) != 0) return nullptr;
    return room->varBuf + offset;
}

ServerUserRec *connectedUserFromHost(MyState *state, UserID id) {
    return connectedUser(state, id);
}

ServerRoomRec *getUserRoom(const ServerUserRec *user) {
    return user ? GetRoom(user->user.roomID) : nullptr;
}

void resetUser(ServerState *serverState, MyState *) {
    ServerUserRec *user = serverState->currentUser;
    if (!user) return;
    const UserRec &u = user->user;
    sendMsgUserDesc(toUser(user), user, u.faceNbr, u.colorNbr, u.nbrProps, u.propSpec);
    sendMsgUserMove(toUser(user), user, u.roomPos);
    sendMsgUserName(toUser(user), user, u.name);
}

void resetDraw(ServerState *serverState, MyState *) {
    ServerUserRec *user = serverState->currentUser;
    if (!user) return;
    DrawRecord clear{};
    clear.drawCmd = DRAW_CLEAR;
    AddDrawCommand(user, &clear);
    sendMsgDraw(toUser(user), &clear);
}

void wearOnlyPinProp(ServerUserRec *user) {
    user->user.propSpec[0] = PIN_PROP;
    user->user.nbrProps = 1;
    sendMsgUserProp(toUserRoom(user), user, 1, user->user.propSpec);
}

int32_t truncatedInt32(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return INT32_MAX;
    if (value <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(value);
}

bool warnOnce(ServerUserRec *user, UserDat *ud, int32_t index, const char *text) {
    if (!ud || ud->lastWarning == index) return false;
    UserMessage(user, "%s", text);
    ud->lastWarning = index;
    return true;
}

const char *roomNameText(const ServerRoomRec *room, char (&buf)[NAME_SIZE]) {
    buf[0] = '\0';
    const auto offset = static_cast<uint32_t>(static_cast<uint16_t>(room->room.roomNameOfst));
    if (!room->varBuf || offset >= room->varBufAlloc) return buf;
    const unsigned char length = room->varBuf[offset];
    if (length > 31) return "room name too long";
    if (offset + 1u + length > room->varBufAlloc) return buf;
    std::memcpy(buf, room->varBuf + offset + 1, length);
    buf[length] = '\0';
    return buf;
}

bool scheduleUserEvent(MyState *state, UserID userID, int32_t action, int32_t seconds) {
    TimerEvent *event = newZeroed<TimerEvent>();
    if (!event) return false;
    event->userID = userID;
    event->action = action;
    scheduleTimerEvent(state->myPluginID, event, seconds);
    return true;
}

}  // namespace kestrom
