// configuration.h - the configuration in force, as text, for the fuzz
// targets' checks: a reload that fails must leave it exactly as it was, and
// reloading the file in force must give it again (command ranks aside).  The targets run the
// module through watchedModule(), which keeps its state in sight.
#pragma once

#include "commands/commands.h"
#include "core/state.h"
#include "sim/linked_module.h"

#include <cstdio>
#include <string>

namespace kestrom::fuzz {

// The state the running module returned at start, or null.
inline MyState *theLiveState = nullptr;

inline void *startWatched(PluginID id, int argc, char **argv) {
    theLiveState = static_cast<MyState *>(::initializeServerPlugin(id, argc, argv));
    return theLiveState;
}

inline void stopWatched(ServerState *ss, void *pluginDat) {
    ::shutdownServerPlugin(ss, pluginDat);
    theLiveState = nullptr;
}

// The linked module's entry points, start and stop watched.
inline sim::ModuleEntryPoints watchedModule() {
    sim::ModuleEntryPoints entry = sim::linkedModule();
    entry.initializeServerPlugin = &startWatched;
    entry.shutdownServerPlugin = &stopWatched;
    return entry;
}

// Every rule, switch, text, announcement and (withRanks) command rank in
// force; empty when the module is not running.  A command's ranks may differ
// after a second load of the same file (a setrank line with a target rank
// is refused once a line has disabled the command's target).
inline std::string liveConfiguration(bool withRanks = true) {
    const MyState *state = theLiveState;
    if (!state) return {};
    std::string s;
    char line[64];
    for (const LimitValue *chain : state->limits) {
        for (const LimitValue *rule = chain; rule; rule = rule->next) {
            std::snprintf(line, sizeof line, "%x %u %a", rule->roomsChecked, rule->maximum, rule->decay);
            s += line;
            for (const RoomNumbers *r = rule->roomNumbers; r; r = r->next)
                s += " rm" + std::to_string(r->low) + "-" + std::to_string(r->high);
            if (rule->string) s += std::string(" ") + rule->string;
            s += '\n';
        }
        s += "--\n";
    }
    for (const int32_t value : {state->wizInMemberRooms, state->rownerInRoom, state->memberRWho, state->guestWiz,
                                state->rTakeDelay, state->mroomdiscipline, state->altMemberActive,
                                state->pageLengthLimit, state->gpageLengthLimit})
        s += std::to_string(value) + ' ';
    for (const char *text : {state->mRoomBG, state->pageResponse, state->gpageResponse})
        s += std::string("\n") + (text ? text : "(none)");
    for (const AutoAnnounce *a = state->autoannounce; a; a = a->next)
        s += std::string("\n") + a->time + (a->event && a->event->param == a ? " armed " : " unarmed ") + a->message();
    s += '\n';
    if (!withRanks) return s;
    for (const CmdTable &row : cmdTable) s += std::to_string(row.rank) + '/' + std::to_string(row.targetRank) + ' ';
    return s;
}

}  // namespace kestrom::fuzz
