// config.cpp - the configuration a load reads: where it starts from, how it
// is put in force once the whole file has been read, and how a failed load
// gives it up.
#include "core/memory.h"
#include "params/params.h"

#include <clocale>
#include <cstring>

namespace kestrom {

namespace {

// Reverses a singly linked list in place.
template <typename T>
void reverseList(T *&head) {
    T *done = nullptr;
    while (T *node = head) {
        head = node->next;
        node->next = done;
        done = node;
    }
    head = done;
}

// A text a line replaced takes the place of the one in force.
void installText(char *&live, StagedText &staged) {
    if (!staged.replaced) return;
    DisposePtr(live);
    live = staged.text;
    staged = {};
}

// Arms the announcements' timers in the order the file gives them, so that
// those due at the same second are shown in file order.
void armAnnouncements(MyState *state) {
    reverseList(state->autoannounce);
    for (AutoAnnounce *announce = state->autoannounce; announce; announce = announce->next)
        scheduleTimerEvent(state->myPluginID, announce->event, announce->firstDelay);
    reverseList(state->autoannounce);
}

void applyRankOverrides(const Config &config) {
    for (int i = 0; i < NBR_COMMANDS; ++i) {
        if (!config.ranks[i].set) continue;
        cmdTable[i].rank = config.ranks[i].rank;
        cmdTable[i].targetRank = config.ranks[i].targetRank;
    }
}

}  // namespace

void ChainInProgress::add(LimitValue *rule) {
    if (rule->roomNumbers) {
        if (!ranged) lastRanged = rule;
        rule->next = ranged;
        ranged = rule;
        return;
    }
    rule->next = nullptr;
    (lastPlain ? lastPlain->next : plain) = rule;
    lastPlain = rule;
}

LimitValue *ChainInProgress::take() {
    LimitValue *first = plain;
    if (lastRanged) {
        lastRanged->next = plain;
        first = ranged;
    }
    *this = {};
    return first;
}

void startConfig(Config &config, const MyState *state) {
    config = {};
    config.wizInMemberRooms = state->wizInMemberRooms;
    config.guestWiz = 1;
    config.rTakeDelay = -1;
    config.mroomdiscipline = -1;
    config.pointIsDot = std::strcmp(std::localeconv()->decimal_point, ".") == 0;
}

void commitConfig(Config &config, MyState *state) {
    freeLimits(state); // the old announcements' timers now fall due without effect
    for (int32_t i = 0; i < NBR_PARAMETERS; ++i) state->limits[i] = config.limits[i].take();
    state->autoannounce = config.autoannounce;
    state->setranks = config.setranks;
    state->wizInMemberRooms = config.wizInMemberRooms;
    state->rownerInRoom = config.rownerInRoom;
    state->memberRWho = config.memberRWho;
    state->guestWiz = config.guestWiz;
    state->rTakeDelay = config.rTakeDelay;
    state->mroomdiscipline = config.mroomdiscipline;
    state->altMemberActive = config.altMemberActive;
    state->pageLengthLimit = config.pageLengthLimit;
    state->gpageLengthLimit = config.gpageLengthLimit;
    installText(state->mRoomBG, config.mRoomBG);
    installText(state->pageResponse, config.pageResponse);
    installText(state->gpageResponse, config.gpageResponse);
    applyRankOverrides(config);
    for (int32_t i = 0; i < config.noticesDue; ++i) GlobalMessage("%s", theWizardsMayMsg);
    armAnnouncements(state);
    config = {};
}

void discardConfig(Config &config) {
    for (ChainInProgress &chain : config.limits) {
        LimitValue *rules = chain.take();
        freeRuleChain(rules);
    }
    while (AutoAnnounce *announce = config.autoannounce) {
        config.autoannounce = announce->next;
        DisposePtr(announce->event); // never armed: the host does not hold it
        DisposePtr(announce);
    }
    while (StringList *line = config.setranks) {
        config.setranks = line->next;
        DisposePtr(line);
    }
    DisposePtr(config.mRoomBG.text);
    DisposePtr(config.pageResponse.text);
    DisposePtr(config.gpageResponse.text);
    config = {};
}

}  // namespace kestrom
