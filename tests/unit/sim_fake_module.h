// sim_fake_module.h - a stand-in module for the simulated server's own
// tests: its entry points do what each test tells them and note every call,
// so the server's side (order of work, timers, kills, memory) is tested
// apart from the real module.
#pragma once

#include "sim/server.h"

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace kestrom::simtest {

struct FakeModule {
    // What the entry points do; unset ones do nothing (handleMessage passes).
    static inline std::function<ClientMsg *(ServerState *, ClientMsg *)> onMessage;
    static inline std::function<void(ServerState *, void *)> onTimer;
    static inline std::function<void(ServerState *, ServerUserRec *)> onUserCreation;
    static inline std::vector<std::string> calls; // "entry point:detail"
    static inline int state = 0;                  // the pluginDat handed out

    static void reset() {
        onMessage = nullptr;
        onTimer = nullptr;
        onUserCreation = nullptr;
        calls.clear();
    }

    static void *initialize(PluginID, int, char **) {
        calls.push_back("init");
        return &state;
    }
    static void shutdown(ServerState *, void *) { calls.push_back("shutdown"); }
    static void userCreation(ServerState *ss, void *, ServerUserRec *u) {
        calls.push_back("userCreation:" + std::to_string(u->user.userID));
        if (onUserCreation) onUserCreation(ss, u);
    }
    static void userDeletion(ServerState *, void *, ServerUserRec *u) {
        calls.push_back("userDeletion:" + std::to_string(u->user.userID));
    }
    static void roomCreation(ServerState *, void *, ServerRoomRec *r) {
        calls.push_back("roomCreation:" + std::to_string(r->room.roomID));
    }
    static void roomDeletion(ServerState *, void *, ServerRoomRec *r) {
        calls.push_back("roomDeletion:" + std::to_string(r->room.roomID));
    }
    static void userRoomEntry(ServerState *, void *, ServerUserRec *u, ServerRoomRec *r) {
        calls.push_back("entry:" + std::to_string(u->user.userID) + ">" + std::to_string(r->room.roomID));
    }
    static ClientMsg *message(ServerState *ss, void *, ClientMsg *m) {
        calls.push_back("message:" + sim::typeText(m->eventType));
        return onMessage ? onMessage(ss, m) : m;
    }
    static void timer(ServerState *ss, void *, void *data) {
        calls.push_back("timer");
        if (onTimer) onTimer(ss, data);
    }

    static sim::ModuleEntryPoints entryPoints() {
        sim::ModuleEntryPoints e;
        e.initializeServerPlugin = &initialize;
        e.shutdownServerPlugin = &shutdown;
        e.noteUserCreation = &userCreation;
        e.noteUserDeletion = &userDeletion;
        e.noteRoomCreation = &roomCreation;
        e.noteRoomDeletion = &roomDeletion;
        e.noteUserRoomEntry = &userRoomEntry;
        e.handleMessage = &message;
        e.handleTimerEvent = &timer;
        return e;
    }
};

// A started server with the fake module, a Lobby (1) and a Den (2).
struct FakeWorld {
    sim::Server server;

    FakeWorld() {
        FakeModule::reset();
        server.useModule(FakeModule::entryPoints(), "fake.so");
        addRoom(1, "Lobby");
        addRoom(2, "Den");
        server.start({});
    }
    ~FakeWorld() { FakeModule::reset(); }

    sim::SimRoom *addRoom(RoomID id, const std::string &name, uint32 flags = 0) {
        sim::RoomPlan plan;
        plan.id = id;
        plan.name = name;
        plan.flags = flags;
        std::string error;
        return server.addRoom(plan, error);
    }
    sim::SimUser *addUser(const std::string &handle, int n, int rank = 0, RoomID room = 1) {
        sim::UserPlan plan = sim::UserPlan::numbered(handle, n);
        plan.rank = rank;
        plan.room = room;
        std::string error;
        return server.connect(plan, error);
    }
    // The texts of the window, as "channel>receivers:text".
    std::vector<std::string> texts() {
        std::vector<std::string> out;
        for (const sim::Event &e : server.recorder().window())
            if (e.kind == sim::EventKind::Text) out.push_back(e.channel + ">" + sim::namesOf(e.receivers) + ":" + e.text);
        return out;
    }
};

// A talk submitted on the sender's behalf, as the module builds one (in
// module memory, which the server then owns).
inline ClientMsg *submittedTalk(const char *text) {
    const size_t n = std::strlen(text) + 1;
    auto *m = static_cast<ClientMsg *>(NewPtrClear(sizeof(ClientMsg) + n));
    m->eventType = KESTROM_FOURCC('t', 'a', 'l', 'k');
    m->length = static_cast<uint32>(n);
    std::memcpy(m + 1, text, n);
    return m;
}

}  // namespace kestrom::simtest
