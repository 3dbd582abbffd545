// host_ops.cpp - the host operations of core/host.h, exported by every
// program that links the simulated server.  Each one forwards to the active
// Server; with no server active, look-ups find nothing and texts go nowhere.
// While a LeanHost is in force (sim/lean_host.h), memory and texts go to it.
#include "core/host.h"
#include "sim/heap.h"
#include "sim/lean_host.h"
#include "sim/messages.h"
#include "sim/server.h"
#include "sim/values.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

using kestrom::sim::Audience;
using kestrom::sim::LeanHost;
using kestrom::sim::Server;

namespace {

__attribute__((format(printf, 1, 0))) std::string vformat(const char *fmt, va_list ap) {
    va_list copy;
    va_copy(copy, ap);
    const int n = std::vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    if (n <= 0) return std::string();
    std::string text(static_cast<size_t>(n), '\0');
    std::vsnprintf(text.data(), text.size() + 1, fmt, ap);
    return text;
}

// Formats and hands a text to the active server (formatting only when the
// server keeps a record of texts).
__attribute__((format(printf, 5, 0))) void sendFormatted(const char *channel, Audience audience,
                                                         ServerUserRec *user, ServerRoomRec *room,
                                                         const char *fmt, va_list ap) {
    if (LeanHost *lean = LeanHost::active()) return lean->countText();
    Server *s = Server::active();
    if (!s) return;
    if (!fmt) return s->fault(std::string(channel) + " with no format");
    s->sendText(channel, audience, user, room, s->recording() ? vformat(fmt, ap) : std::string());
}

std::string propList(sint32 n, const AssetSpec *props) {
    if (n <= 0 || !props) return "none";
    return kestrom::sim::propsText(std::vector<AssetSpec>(props, props + std::min<sint32>(n, 64)));
}

std::string handleOf(Server &s, ServerUserRec *user) {
    kestrom::sim::SimUser *u = user ? s.userOf(user, "a client update") : nullptr;
    return u ? u->handle : "nobody";
}

std::string pascalText(const unsigned char *name) {
    if (!name) return "";
    return std::string(reinterpret_cast<const char *>(name + 1), name[0]);
}

}  // namespace

extern "C" {

// ---------------------------------------------------------------- memory

void *NewPtr(size_t size) {
    if (LeanHost *lean = LeanHost::active()) return lean->allocate(size, false);
    Server *s = Server::active();
    return s ? s->newBlock(size, false) : kestrom::sim::moduleHeap().allocate(size, false);
}

void *NewPtrClear(size_t size) {
    if (LeanHost *lean = LeanHost::active()) return lean->allocate(size, true);
    Server *s = Server::active();
    return s ? s->newBlock(size, true) : kestrom::sim::moduleHeap().allocate(size, true);
}

void DisposePtr(void *block) {
    if (LeanHost *lean = LeanHost::active()) return lean->release(block);
    if (Server *s = Server::active()) return s->disposeBlock(block);
    kestrom::sim::moduleHeap().release(block);
}

// ------------------------------------------------------ plug-in storage

void setPluginUserInfoSize(PluginID id, sint32 bytes) {
    if (Server *s = Server::active()) s->setPluginUserInfoSize(id, bytes);
}

void setPluginRoomInfoSize(PluginID id, sint32 bytes) {
    if (Server *s = Server::active()) s->setPluginRoomInfoSize(id, bytes);
}

void *getPluginUserInfo(PluginID id, ServerUserRec *user) {
    Server *s = Server::active();
    return s ? s->pluginUserInfo(id, user) : nullptr;
}

void *getPluginRoomInfo(PluginID id, ServerRoomRec *room) {
    Server *s = Server::active();
    return s ? s->pluginRoomInfo(id, room) : nullptr;
}

// -------------------------------------------------------------- look-ups

ServerUserRec *GetServerUser(UserID userID) {
    Server *s = Server::active();
    kestrom::sim::SimUser *u = s ? s->user(userID) : nullptr;
    return u ? &u->rec : nullptr;
}

ServerUserRec *GetServerUserByName(const char *name) {
    Server *s = Server::active();
    return s ? s->findUserByName(name) : nullptr;
}

ServerUserRec *GetServerUserByCounter(uint32 counter) {
    Server *s = Server::active();
    return s ? s->findUserByCounter(counter) : nullptr;
}

ServerRoomRec *GetRoom(RoomID roomID) {
    Server *s = Server::active();
    kestrom::sim::SimRoom *r = s ? s->room(roomID) : nullptr;
    return r ? &r->rec : nullptr;
}

int UserRank(ServerUserRec *user) {
    Server *s = Server::active();
    return s ? s->rankOf(user) : 0;
}

// ----------------------------------------------------------------- texts

void UserMessage(ServerUserRec *user, const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    sendFormatted("UserMessage", Audience::OneUser, user, nullptr, fmt, ap);
    va_end(ap);
}

void UserPrivateMessage(ServerUserRec *user, const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    sendFormatted("UserPrivateMessage", Audience::OneUser, user, nullptr, fmt, ap);
    va_end(ap);
}

void RoomMessage(ServerRoomRec *room, const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    sendFormatted("RoomMessage", Audience::Room, nullptr, room, fmt, ap);
    va_end(ap);
}

void GlobalMessage(const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    sendFormatted("GlobalMessage", Audience::Everyone, nullptr, nullptr, fmt, ap);
    va_end(ap);
}

void WizGlobalMessage(const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    sendFormatted("WizGlobalMessage", Audience::Operators, nullptr, nullptr, fmt, ap);
    va_end(ap);
}

void GodGlobalMessage(const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    sendFormatted("GodGlobalMessage", Audience::Owners, nullptr, nullptr, fmt, ap);
    va_end(ap);
}

void WizRoomMessage(ServerRoomRec *room, const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    sendFormatted("WizRoomMessage", Audience::RoomOperators, nullptr, room, fmt, ap);
    va_end(ap);
}

void WizNeighborMessage(ServerUserRec *user, const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    sendFormatted("WizNeighborMessage", Audience::Operators, user, nullptr, fmt, ap);
    va_end(ap);
}

void FormattedLogMessage(ServerUserRec *user, const char *tag, const char *fmt, ...) {
    if (LeanHost *lean = LeanHost::active()) return lean->countLogLine();
    Server *s = Server::active();
    if (!s) return;
    if (!fmt) return s->fault("FormattedLogMessage with no format");
    std::string text;
    if (s->recording()) {
        va_list ap;
        va_start(ap, fmt);
        text = vformat(fmt, ap);
        va_end(ap);
    }
    s->log(user, tag, std::move(text));
}

// ---------------------------------------------------------------- acting

void ChangeUserRoom(ServerUserRec *user, ServerRoomRec *room, sint32, ClientMsg *) {
    if (Server *s = Server::active()) s->changeUserRoom(user, room);
}

void ChangeUserDesc(ServerUserRec *user, sint16 colorNbr, sint16 faceNbr, sint32 nbrProps, const AssetSpec *props) {
    if (Server *s = Server::active()) s->changeUserDesc(user, colorNbr, faceNbr, nbrProps, props);
}

void ChangeUserFace(ServerUserRec *user, sint16 faceNbr) {
    if (Server *s = Server::active()) s->changeUserFace(user, faceNbr);
}

void ChangeUserColor(ServerUserRec *user, sint16 colorNbr) {
    if (Server *s = Server::active()) s->changeUserColor(user, colorNbr);
}

void UpdateUserPosition(ServerUserRec *user, Point pos) {
    if (Server *s = Server::active()) s->updateUserPosition(user, pos);
}

void DeleteLooseProp(ServerUserRec *user, sint32 propNum) {
    if (Server *s = Server::active()) s->deleteLooseProp(user, propNum);
}

void AddDrawCommand(ServerUserRec *user, const DrawRecord *draw) {
    if (Server *s = Server::active()) s->addDrawCommand(user, draw);
}

void ScheduleUserKill(ServerUserRec *user, sint32 reason, const char *text, sint32) {
    if (Server *s = Server::active()) s->scheduleUserKill(user, reason, text);
}

// -------------------------------------------------------- client updates

Fanout toUser(ServerUserRec *user) { return Fanout{user, 0}; }
Fanout toUserRoom(ServerUserRec *user) { return Fanout{user, 1}; }


void sendMsgUserDesc(Fanout to, ServerUserRec *user, sint16 faceNbr, sint16 colorNbr, sint32 nbrProps,
                     const AssetSpec *props) {
    Server *s = Server::active();
    if (!s) return;
    if (nbrProps > 0 && !props) return s->fault("sendMsgUserDesc with props and no list");
    s->clientUpdate(to, handleOf(*s, user) + "'s description: face " + std::to_string(faceNbr) + ", colour " +
                            std::to_string(colorNbr) + ", props " + propList(nbrProps, props));
}

void sendMsgUserProp(Fanout to, ServerUserRec *user, sint32 nbrProps, const AssetSpec *props) {
    Server *s = Server::active();
    if (!s) return;
    if (nbrProps > 0 && !props) return s->fault("sendMsgUserProp with props and no list");
    s->clientUpdate(to, handleOf(*s, user) + "'s props: " + propList(nbrProps, props));
}

void sendMsgUserMove(Fanout to, ServerUserRec *user, Point pos) {
    Server *s = Server::active();
    if (!s) return;
    s->clientUpdate(to, handleOf(*s, user) + " at " + std::to_string(pos.h) + "," + std::to_string(pos.v));
}

void sendMsgUserName(Fanout to, ServerUserRec *user, const unsigned char *name) {
    Server *s = Server::active();
    if (!s) return;
    s->clientUpdate(to, handleOf(*s, user) + "'s name: " + kestrom::sim::quoted(pascalText(name)));
}

void sendMsgNavError(Fanout to, sint32 code) {
    Server *s = Server::active();
    if (!s) return;
    s->clientUpdate(to, "room change refused (navigation error " + std::to_string(code) + ")");
}

void sendMsgDraw(Fanout to, const DrawRecord *draw) {
    Server *s = Server::active();
    if (!s) return;
    if (!draw) return s->fault("sendMsgDraw with no drawing");
    s->clientUpdate(to, draw->drawCmd == DRAW_CLEAR ? std::string("clear the drawings")
                                                    : "drawing command " + std::to_string(draw->drawCmd));
}

// ------------------------------------------------------------ injection

void deliverMessageNormal(PluginID, ClientMsg *msg, ServerUserRec *user) {
    if (Server *s = Server::active()) s->deliverMessage(msg, user, true);
}

void deliverMessageDirect(PluginID, ClientMsg *msg, ServerUserRec *user) {
    if (Server *s = Server::active()) s->deliverMessage(msg, user, false);
}

// ---------------------------------------------------------------- timers

void scheduleTimerEvent(PluginID, void *data, sint32 seconds) {
    if (Server *s = Server::active()) s->scheduleTimer(data, seconds);
}

// --------------------------------------------------------------- strings

unsigned char *CtoPstr(char *s) {
    if (!s) return nullptr;
    const size_t n = std::min<size_t>(std::strlen(s), 255);
    std::memmove(s + 1, s, n);
    s[0] = static_cast<char>(n);
    return reinterpret_cast<unsigned char *>(s);
}

char *PtoCstr(unsigned char *s) {
    if (!s) return nullptr;
    const size_t n = s[0];
    std::memmove(s, s + 1, n);
    s[n] = '\0';
    return reinterpret_cast<char *>(s);
}

void DecryptCString(const unsigned char *encoded, char *out, sint32 length, sint32) {
    if (!out) return;
    if (!encoded || length <= 0) {
        out[0] = '\0';
        return;
    }
    kestrom::sim::decodeChat(encoded, out, static_cast<size_t>(length));
}

// -------------------------------------------------------------- identity

void SeedToWizKey(ServerUserRec *user, char *out, sint32 which) {
    if (!out) return;
    out[0] = '\0';
    if (!user) return;
    if (which == 1)
        std::snprintf(out, KESTROM_WIZKEY_SIZE, "K%u-%u", user->crc, user->counter);
    else if (which == 0)
        std::snprintf(out, KESTROM_WIZKEY_SIZE, "P%u-%u", user->puidCtr, user->puidCRC);
}

}  // extern "C"
