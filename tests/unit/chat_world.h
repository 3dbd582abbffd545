// chat_world.h - a small simulated server for the chat, dispatch and help
// tests: the module linked in, its state at hand, rooms and users made in
// one line, and the texts each user received.
#pragma once

#include "core/state.h"
#include "sim/linked_module.h"
#include "sim/server.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestrom::testing {

// The state the module's start returned, caught on its way to the server.
inline MyState *&startedState() {
    static MyState *state = nullptr;
    return state;
}

inline void *startAndCatchState(PluginID id, int argc, char **argv) {
    void *state = ::initializeServerPlugin(id, argc, argv);
    startedState() = static_cast<MyState *>(state);
    return state;
}

class ChatWorld {
public:
    // Starts the module with `params` as its parameter file, with a public
    // Lobby (room 1) as the entrance.
    explicit ChatWorld(const std::string &params) {
        sim::ModuleEntryPoints entry = sim::linkedModule();
        entry.initializeServerPlugin = &startAndCatchState;
        server.useModule(entry);
        addRoom(1, "Lobby");
        started = server.startWithParameters(params);
        state = startedState();
    }

    sim::SimRoom *addRoom(RoomID id, const std::string &name, ClientID owner = 0,
                          uint32 flags = 0) {
        std::string error;
        sim::RoomPlan plan;
        plan.id = id;
        plan.name = name;
        plan.owner = owner;
        plan.flags = flags;
        sim::SimRoom *room = server.addRoom(plan, error);
        EXPECT_NE(room, nullptr) << error;
        return room;
    }

    // The n-th user (counter 900000+n), of `rank`, in `room` (0: entrance).
    sim::SimUser *addUser(const std::string &name, int rank, RoomID room = 0) {
        std::string error;
        sim::UserPlan plan = sim::UserPlan::numbered(name, ++usersMade_);
        plan.rank = rank;
        if (room) plan.room = room;
        sim::SimUser *user = server.connect(plan, error);
        EXPECT_NE(user, nullptr) << error;
        server.finishDirective();
        return user;
    }

    // Sends a talk (or a whisper to `target`) and finishes it as a scenario
    // directive would; true when the module passed it.
    bool say(sim::SimUser &user, const std::string &line, sim::SimUser *target = nullptr) {
        server.recorder().openWindow();
        const bool passed = target ? server.send(user, sim::msg::whisper(target->id(), line))
                                   : server.send(user, sim::msg::talk(line));
        server.finishDirective();
        return passed;
    }

    // Runs `call` with `user` as the current user, the way the dispatcher
    // calls screening routines.
    template <typename Call>
    auto asCurrent(sim::SimUser &user, Call &&call) {
        server.recorder().openWindow();
        ServerState &ss = server.serverState();
        ss.currentUser = &user.rec;
        auto result = call(&ss);
        ss.currentUser = nullptr;
        return result;
    }

    // The texts the module sent `user` in the current window, in order.
    std::vector<std::string> textsTo(const sim::SimUser &user) {
        std::vector<std::string> texts;
        for (const sim::Event &e : server.recorder().window()) {
            if (e.kind != sim::EventKind::Text) continue;
            for (const sim::SimUser *receiver : e.receivers)
                if (receiver == &user) texts.push_back(e.text);
        }
        return texts;
    }

    // The log lines ("TAG: TEXT") of the current window.
    std::vector<std::string> logLines() {
        std::vector<std::string> lines;
        for (const sim::Event &e : server.recorder().window())
            if (e.kind == sim::EventKind::Log) lines.push_back(e.text);
        return lines;
    }

    UserDat *userDatOf(sim::SimUser &user) {
        return static_cast<UserDat *>(server.pluginUserInfo(sim::THE_PLUGIN_ID, &user.rec));
    }

    sim::Server server;
    MyState *state = nullptr;
    bool started = false;

private:
    int usersMade_ = 0;
};

}  // namespace kestrom::testing
