// parameter_file.cpp - fuzz target: the input is a parameter file.  The
// module starts with it; when it starts, users arrive, an operator reloads
// the same file with `kestrom reload, everyone does a little of everything so
// the rules read are applied, the file is reloaded once more with one of the
// loader's allocations made to fail (which one follows from the input's
// bytes), the clock runs a day on (announcements and other timers fall due),
// and the module stops with no allocation left out.  Neither reload may
// change the configuration the start put in force (command ranks aside).
#include "fuzz/configuration.h"
#include "fuzz/fuzz_common.h"
#include "sim/linked_module.h"
#include "sim/server.h"

#include <cstdint>
#include <string>

using namespace kestrom;
using namespace kestrom::sim;

namespace {

struct Person {
    const char *name;
    int rank;
    RoomID room;
};

constexpr Person PEOPLE[] = {
    {"Otto", 3, 1}, {"Gus", 0, 1}, {"Mia", 1, 200}, {"Wanda", 2, 5}, {"Ned", 1, 1},
};

// Rooms whose numbers fall in the example ranges (rm1-5, rm40-49) and a
// member room, so that rules selecting any kind of room are reached.
void buildRooms(Server &server) {
    const struct {
        RoomID id;
        const char *name;
        uint32 flags;
        ClientID owner;
    } rooms[] = {
        {1, "Lobby", 0, 0}, {5, "Annex", RMF_PRIVATE, 0}, {42, "Stage", 0, 0}, {200, "Den", 0, 900003},
    };
    std::string error;
    for (const auto &r : rooms) {
        RoomPlan plan;
        plan.id = r.id;
        plan.name = r.name;
        plan.flags = r.flags;
        plan.owner = r.owner;
        server.addRoom(plan, error);
    }
    server.addLooseProp(*server.room(1), {77, 0}, {100, 100});
}

// One round of ordinary activity by every user who is still there.
void everyoneActs(Server &server, int round) {
    for (SimUser *u : server.connectedUsers()) {
        if (!u->connected) continue;
        const sint16 step = static_cast<sint16>(10 * round);
        server.send(*u, msg::talk("take me to the lobby"));
        if (!u->connected) continue;
        server.send(*u, msg::talk("hello there, everyone in the room"));
        if (!u->connected) continue;
        server.send(*u, msg::page("help me please"));
        server.send(*u, msg::roomMessage("a word to the room"));
        server.send(*u, msg::location({static_cast<sint16>(100 + step), 100}));
        server.send(*u, msg::face(static_cast<sint16>(round % 13)));
        server.send(*u, msg::desc(1, 2, {{500 + round, 0}, {501, 0}}));
        server.send(*u, msg::name(u->handle));
        server.send(*u, msg::dropProp({77, 0}, {102, 100}));
        server.send(*u, msg::moveProp(0, {104, 100}));
        server.send(*u, msg::spotState(u->roomID(), 1, 1));
        server.send(*u, msg::gotoRoom(static_cast<RoomID>(round % 2 ? 42 : 200)));
        server.send(*u, msg::talk("`gpage a page for the owners of this server"));
        server.send(*u, msg::talk("`rpage is anyone home"));
        server.send(*u, msg::talk("`find Gus"));
        server.send(*u, msg::talk("`newroom Fuzzy"));
        server.send(*u, msg::talk("`rtake"));
        server.send(*u, msg::talk("`take Mia"));
        server.send(*u, msg::talk("`pinx Ned"));
        server.send(*u, msg::wizardRequest());
        server.finishDirective();
    }
}

// Which allocation of the last reload fails: 1 to 48, from the input's bytes.
long failingAllocation(const uint8_t *data, size_t size) {
    unsigned long sum = size;
    for (size_t i = 0; i < size; ++i) sum = sum * 31 + data[i];
    return static_cast<long>(sum % 48) + 1;
}

// Otto reloads the file; the configuration must stay `expected`.
void reload(Server &server, const std::string &expected) {
    if (SimUser *otto = server.user(1); otto && otto->connected) server.send(*otto, msg::talk("`kestrom reload"));
    server.finishDirective();
    if (fuzz::liveConfiguration(false) != expected)
        fuzz::finding("reloading the file in force changed the configuration");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string text(reinterpret_cast<const char *>(data), size);
    Server server;
    server.useModule(fuzz::watchedModule());
    fuzz::traceWhenAsked(server);
    buildRooms(server);
    if (server.startWithParameters(text)) {
        std::string error;
        for (size_t i = 0; i < sizeof PEOPLE / sizeof PEOPLE[0]; ++i) {
            UserPlan plan = UserPlan::numbered(PEOPLE[i].name, static_cast<int>(i) + 1);
            plan.rank = PEOPLE[i].rank;
            plan.room = PEOPLE[i].room;
            plan.address = {10, 0, 0, 7};
            server.connect(plan, error);
        }
        server.finishDirective();
        everyoneActs(server, 1);
        const std::string loaded = fuzz::liveConfiguration(false);
        reload(server, loaded);
        everyoneActs(server, 2);
        server.heap().failOnly(failingAllocation(data, size));
        reload(server, loaded);
        server.heap().stopFailing();
        server.advance(2000);
        everyoneActs(server, 3);
        server.advance(86400);
    }
    fuzz::stopAndCheck(server);
    return 0;
}
