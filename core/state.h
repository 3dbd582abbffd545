// state.h - everything the module remembers: its own state (MyState), the
// records it keeps per user (UserDat) and per room (RoomDat), the rule
// records of the parameter file, timer payloads, and the parameter registry.
//
// The host stores UserDat and RoomDat for us (getPluginUserInfo and
// getPluginRoomInfo); MyState and everything hanging from it are ours.
#pragma once

#include "core/host.h"

#include <cstdint>
#include <ctime>

namespace kestrom {

// ------------------------------------------------------------------ ranks

enum Rank : int32_t {
    RANK_GUEST = 0,
    RANK_MEMBER = 1,
    RANK_WIZARD = 2,  // operator
    RANK_GOD = 3,     // server owner
    RANK_DISABLE = 4, // held by nobody
};

// ------------------------------------------------------------ rule records

// One room-number range of a rule, low..high inclusive.  Newest first.
struct RoomNumbers {
    RoomNumbers *next;
    int32_t low;
    int32_t high;
};

// Room-kind selection bits of LimitValue.roomsChecked.
constexpr int32_t RC_PUBLIC = 0x0001;
constexpr int32_t RC_PRIVATE = 0x0002;
constexpr int32_t RC_MEMBER = 0x0004;
constexpr int32_t RC_LIMBO = 0x0008;
constexpr int32_t RC_ALTMEMBER = 0x0010;
constexpr int32_t RC_WARN = 0x8000;
constexpr int32_t RC_ALL = RC_PUBLIC | RC_PRIVATE | RC_MEMBER | RC_LIMBO | RC_ALTMEMBER;

// One rule of a parameter's chain.
struct LimitValue {
    LimitValue *next;
    RoomNumbers *roomNumbers; // null: no ranges
    int32_t roomsChecked;     // RC_ bits
    uint32_t maximum;         // allowance, threshold, room or coordinate; ~0u: unlimited
    double decay;             // units regained per second; pinx: vertical coordinate
    char *string;             // chatgoto phrase, dupip pattern, or null
    int32_t line;             // parameter-file line it came from; 0: a built-in default
    // chatgoto: the next phrase of the same bucket, in chain order, and the
    // phrase's hash (commands/screening.cpp).
    LimitValue *phraseNext;
    uint32_t phraseHash;
};

constexpr uint32_t LIMIT_UNLIMITED = 0xFFFFFFFFu;

// A user's leaky-bucket counter for one kind of activity.
struct ActivityHistory {
    time_t lastTime;      // when the counter was last checked
    int32_t numberRecent; // current fill level
};

// ------------------------------------------------------ parameter registry

// Parameter indexes: the slot of MyState.limits each parameter's rules use.
enum ParamIndex : int32_t {
    P_ZONE = 0,
    P_SPOOF = 1,
    P_PAGE = 2,
    P_REPPAGE = 3,
    P_CHAT = 4,
    P_REPCHAT = 5,
    P_PROPDROP = 6,
    P_ROOMMSG = 7,
    P_FACECHANGE = 8,
    P_AVATARCHANGE = 9,
    P_MOVE = 10,
    P_SLIDE = 11,
    P_SPOTSTATECHANGE = 12,
    P_CHATGOTO = 13,
    P_CLEARLOOSEPROPS = 14,
    P_NODUPAVATARS = 15,
    P_NAMECHANGE = 16,
    P_TAKE = 17,
    P_DUPIP = 18,
    P_GODONLY = 19,
    P_AVATARZONE = 20,
    P_MIMICK = 21,
    P_PINX = 22,
    P_NEWROOM = 23,
    P_GPAGE = 24,
    P_RPAGE = 25,
    P_ROOMPAGE = 26,
    NBR_PARAMETERS = 27,
};

// paramMask bits: what a parameter-file line for the parameter carries,
// read in this order: 1, 8, 2, then 4 or a room selection.
constexpr int32_t PM_MAXIMUM = 1; // an integer maximum
constexpr int32_t PM_DECAY = 2;   // a real decay
constexpr int32_t PM_STRING = 4;  // the rest of the line as text (no selection)
constexpr int32_t PM_ROOM = 8;    // a room number or "currentroom" into maximum

// One registry row.
struct ParameterTable {
    const char *name;
    const LimitValue *defaultValue; // built-in default, or null
    int32_t index;
    int32_t paramMask;
};

// The registry: rows 0-26 are filled at start, row 27 stays empty.
extern ParameterTable parameterTable[NBR_PARAMETERS + 1];

// --------------------------------------------------------- timer payloads

enum TimerAction : int32_t {
    TA_WIZARDS_MAY = 0,   // tell an arriving user operators may enter closed rooms
    TA_ENTRY_CHECKS = 1,  // entry checks for the user's room, then its sanctions
    TA_ANNOUNCE = 2,      // send an auto-announcement (param: the AutoAnnounce)
    TA_PAGE_RESPONSE = 3, // send the page response text
    TA_LOGON_CHECKS = 4,  // duplicate addresses, owned member room
    TA_SANCTIONS = 5,     // apply the room sanctions now
    TA_DROP_OWNED = 6,    // forget a member room the user no longer owns
};

// What the module hands the host with scheduleTimerEvent.
struct TimerEvent {
    UserID userID;  // 0 for announcements
    int32_t action; // TimerAction
    void *param;    // the AutoAnnounce for action 2, else null
};

// One daily announcement.  Its message is stored right after the record,
// in the same allocation.
struct AutoAnnounce {
    AutoAnnounce *next;
    TimerEvent *event;  // the event that sends it
    char time[9];       // "hh:mm:ss" as written, NUL-terminated
    int32_t firstDelay; // seconds from its load to its first showing

    char *message() { return reinterpret_cast<char *>(this + 1); }
    const char *message() const { return reinterpret_cast<const char *>(this + 1); }
};

constexpr int MAX_TEXT_SETTING = 250; // announcements, page responses

// One stored setrank line; the text follows the record in one allocation.
struct StringList {
    StringList *next;

    char *string() { return reinterpret_cast<char *>(this + 1); }
    const char *string() const { return reinterpret_cast<const char *>(this + 1); }
};

// ------------------------------------------------------- sanctions registry

constexpr int32_t SANCTION_PIN = 0x01;
constexpr int32_t SANCTION_KICK = 0x02;
constexpr int32_t SANCTION_GAG = 0x04;
constexpr int32_t SANCTION_PROPGAG = 0x08;

struct RoomDat;
struct MyState;

// The identities an entry is found by (rooms/sanctions.cpp).
enum SanctionKey : int32_t { BY_ADDRESS = 0, BY_COUNTER = 1, BY_PUID = 2, SANCTION_KEYS = 3 };

// One disciplined user of a room.  Newest first.
struct RoomBadActor {
    RoomBadActor *next;
    int32_t flags;     // SANCTION_ bits, never 0 in a listed entry
    int32_t counter;   // the user's counter when recorded
    int32_t puid;      // the user's puidCtr when recorded
    int32_t ipAddress; // the user's address, as the host stores it
    char username[32]; // display name, at most 31 characters
    // Where the entry stands in the registry's indexes: the next newer entry
    // of the list, the room's record, the entry's age (the larger, the
    // newer), and the next entry of each index bucket (newest first).
    RoomBadActor *newer;
    RoomDat *room;
    uint64_t order;
    RoomBadActor *sameKey[SANCTION_KEYS];
};

// ---------------------------------------------------------------- pins

// The prop a pinned user wears alone, and where a pin puts the user when no
// pinx rule says otherwise.
constexpr AssetSpec PIN_PROP = {1280, 0};
constexpr Point PIN_SPOT = {362, 490}; // v, h

// ------------------------------------------------------ per-user records

constexpr int32_t UF_PAGEGAGGED = 0x01;
constexpr int32_t UF_NAMEGAGGED = 0x02;
constexpr int32_t UF_ROOMPINNED = 0x04;
constexpr int32_t UF_ROOMPROPGAGGED = 0x08;
constexpr int32_t UF_ROOMGAGGED = 0x10;
constexpr int32_t UF_LISTGAGGED = 0x20;
constexpr int32_t UF_ROOM_SANCTIONS = UF_ROOMPINNED | UF_ROOMPROPGAGGED | UF_ROOMGAGGED;

constexpr int32_t NO_WARNING = -1;
constexpr Point UNKNOWN_CLIENT_POS = {-5, -5};

struct UserDat {
    char *lastChat;              // the user's previous chat line, or null
    ActivityHistory chat;        // chat lines and pages, new and repeated
    ActivityHistory repchat;     // kept cleared
    ActivityHistory roommsg;
    ActivityHistory propDrop;
    ActivityHistory faceChange;
    ActivityHistory move;
    ActivityHistory slide;
    ActivityHistory spotStateChange;
    ActivityHistory avatarChange;
    ActivityHistory nameChange;
    ActivityHistory newRoom;
    ActivityHistory gpage;
    ActivityHistory rpage;
    ActivityHistory roompage;
    int32_t lastWarning; // parameter index of the last warning shown, or -1
    Point lastClientPos; // last position the client asked for; (-5,-5) unknown
    int32_t flags;       // UF_ bits
    int32_t clientType;  // logon auxFlags & 0x80000000
    uint32_t lastChatCapacity; // bytes of the lastChat block, while there is one
    // The user's place among the connected users by address (core/addresses.cpp).
    ServerUserRec *self;     // the user, while filed
    UserDat *addressNext;    // the next user of the same bucket, in the host's list order
    UserDat *addressPrev;
    IPAddress filedAddress;  // the address it is filed under
    bool addressFiled;
};

// ------------------------------------------------------ per-room records

constexpr int32_t RF_RPROPFREEZE = 0x01;
constexpr int32_t RF_RNODUPAVATARS = 0x02;
constexpr int32_t RF_RLIMIT = 0x04;
constexpr int32_t RF_PROPFREEZE = 0x08;
constexpr int32_t RF_RNOLOOSEPROPS = 0x10;

struct RoomDat {
    int32_t flags;               // RF_ bits
    char *lastChat;              // last line said here (mimick rule), or null
    UserID lastUserID;           // who said it
    uint32_t lastChatCapacity;   // bytes of the lastChat block, while there is one
    time_t ownerLogoffTime;      // when the member owner last logged off
    RoomBadActor *badActorList;  // the room's disciplined users
    RoomBadActor *oldestBadActor; // the last of badActorList
    int32_t badActors;           // entries in badActorList
    MyState *badActorIndex;       // the state whose indexes hold the entries
};

// ------------------------------------------------------------ the module

constexpr const char *theVersionNumber = "4.0.4";
// Told to arriving users, and to everyone when the switch is turned on.
constexpr const char *theWizardsMayMsg =
    "NOTE: Operators may enter closed and passworded member rooms on this server.";

// Buckets of the table of connected users by address.
constexpr int ADDRESS_BUCKETS = 4096;

// The rule choice memo (limits/rules.cpp).  A chain is marked with a stamp
// that changes whenever the chain may have changed: a load, or a chain whose
// head or last rule is no longer what it was.
struct RuleChainMark {
    const LimitValue *head;
    const LimitValue *tail;
    uint32_t stamp; // 0: not marked yet
};
// One choice made: the rule of a parameter's chain (stamp) for a room
// number of one kind.
struct RuleChoice {
    uint32_t stamp;
    int16_t roomID;
    int16_t kind;
    LimitValue *rule;
};
constexpr int RULE_CHOICE_SLOTS = 256; // per parameter, by room number

// Buckets of the chat-goto phrases by their case-folded hash.
constexpr int PHRASE_BUCKETS = 1024;

// Buckets of the rooms' sanction entries, by room and identity.
constexpr int SANCTION_BUCKETS = 4096;
// Slots of MyState.usersAtHand: a power of two.
constexpr uint32_t USERS_AT_HAND = 4096;

struct MyState {
    PluginID myPluginID;
    int32_t argc;
    char **argv;
    char *mRoomBG; // picture for new member rooms, or null
    LimitValue *limits[NBR_PARAMETERS];
    int32_t wizInMemberRooms;
    int32_t rownerInRoom;
    int32_t memberRWho;
    int32_t guestWiz;
    int32_t rTakeDelay;      // below 0: rtake off
    int32_t mroomdiscipline; // 0 or below: member discipline commands off
    int32_t altMemberActive;
    RoomID lastUserPageRoom; // room of the last accepted page, -1 none
    char lastUserPageName[32];
    AutoAnnounce *autoannounce; // newest first
    StringList *setranks;       // newest first, emptied by the listing
    int32_t pageLengthLimit;
    int32_t gpageLengthLimit;
    char *pageResponse;
    char *gpageResponse;
    // While a message is in hand, its first rate check reads the clock into
    // messageTime and the others use it: one message reads the clock once.
    bool inMessage;
    bool messageTimeRead;
    time_t messageTime;
    // The host's decision trace (core/trace.h), bound once at start: null
    // when the host does not provide it.  What is in hand, for its records.
    void (*traceDecision)(const KestromDecision *decision);
    uint32 traceMessageType;  // the message in hand; 0 in a timer action
    int32_t traceTimerAction; // the timer action in hand; -1 in a message
    // The connected users by address: the duplicate-address check at logon
    // reads only the users sharing an address.  Built from the host's user
    // list when first needed, then kept as users come and go.
    bool addressTableBuilt;
    UserDat *addressBuckets[ADDRESS_BUCKETS];
    // The rule each parameter's chain gives a room of a number and kind, and
    // the user in no room.
    RuleChainMark ruleChains[NBR_PARAMETERS];
    RuleChoice limboChoice[NBR_PARAMETERS];
    RuleChoice ruleChoices[NBR_PARAMETERS][RULE_CHOICE_SLOTS];
    // The chat-goto phrases by hash, filled for the chain's stamp.
    uint32_t phraseStamp;
    LimitValue *phraseBuckets[PHRASE_BUCKETS];
    // Every room's sanction entries by address, counter and PUID.
    uint64_t lastSanctionOrder;
    RoomBadActor *sanctionBuckets[SANCTION_KEYS][SANCTION_BUCKETS];
    // Connected users at hand for the occupant scans (connectedUser in
    // core/helpers.h): the host's record of a user at the slot of its ID's
    // low bits, set at creation and on a look-up, cleared at deletion.  A
    // slot holds null or a connected user, whose ID may be another's.
    ServerUserRec *usersAtHand[USERS_AT_HAND];
};

// --------------------------------------------------------------- lifecycle

// Fills registry row `index` and seeds limits[index] with a copy of value.
void setParameter(MyState *state, int32_t index, const char *name, const LimitValue *value,
                  int32_t paramMask);
// freeLimits, then the state itself.
void freeStorage(MyState *state);
// Frees every rule, announcement and stored setrank line.
void freeLimits(MyState *state);
// Resets the per-room part of a user's state on a room change.
void clearDataForRoomChange(ServerState *serverState, MyState *state, ServerUserRec *user);

// The module's records for a user or room, or null when the host has none.
UserDat *userDat(const MyState *state, ServerUserRec *user);
RoomDat *roomDat(const MyState *state, ServerRoomRec *room);

}  // namespace kestrom
