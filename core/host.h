/*
 * host.h - the contract between the chat server (the host) and the kestrom
 * module.  Plain C, included by the module and by every server that loads it
 * (the simulated server in sim/ is one).
 *
 *   1. Scalar types and the host's records, field for field in the host's
 *      order and widths.
 *   2. Host operations: C functions that the server exports and the module
 *      calls as undefined symbols, resolved when the server loads it.
 *   3. The decision trace: one optional operation and its record.
 *   4. The nine entry points that the module exports.
 *
 * Nothing here may change once a server has been built against it.
 */
#ifndef KESTROM_HOST_H
#define KESTROM_HOST_H

#include <stddef.h>
#include <stdint.h>
#include <time.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define KESTROM_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#define KESTROM_EXPORT __attribute__((visibility("default")))
#else
#define KESTROM_PRINTF(fmt, args)
#define KESTROM_EXPORT
#endif

/* ---------------------------------------------------------------- types */

typedef int32_t sint32;
typedef uint32_t uint32;
typedef int16_t sint16;
typedef uint16_t uint16;
typedef int8_t sint8;
typedef uint8_t uint8;
typedef sint32 Boolean;

typedef sint16 RoomID;
typedef sint16 HotspotID;
typedef uint32 UserID;
typedef uint32 ClientID;
typedef uint32 IPAddress;
typedef sint32 PropID;
typedef sint32 AssetID;
typedef sint32 PluginID;

typedef unsigned char Str31[32]; /* length byte, then up to 31 characters */
typedef unsigned char Str63[64];

/* A position in a room, in pixels: h 0..511, v 0..383. */
typedef struct Point {
    sint16 v;
    sint16 h;
} Point;

/* One prop.  The module's own rules compare props by id alone. */
typedef struct AssetSpec {
    AssetID id;
    uint32 crc;
} AssetSpec;

#define KESTROM_MAX_WORN_PROPS 9

/* The public description of a user, embedded in ServerUserRec. */
typedef struct UserRec {
    UserID userID;
    Point roomPos;
    AssetSpec propSpec[KESTROM_MAX_WORN_PROPS]; /* worn props */
    RoomID roomID;                              /* room the user is in */
    sint16 faceNbr;                             /* 0..12 */
    sint16 colorNbr;                            /* 0..15 */
    sint16 awayFlag;
    sint16 openToMsgs;
    uint16 nbrProps; /* entries of propSpec worn, 0..9 */
    Str31 name;
} UserRec;

/* A per-target action a user has set; bit 0x01 hides the user from target. */
typedef struct UserActionRec {
    struct UserActionRec *nextRec;
    UserID target;
    uint32 actionFlags;
} UserActionRec;

#define UA_HIDEFROM 0x01u

typedef struct NetAddress {
    IPAddress ipAddress; /* four bytes in network order in memory */
    uint16 port;
} NetAddress;

struct ServerRoomRec;

/* Host user flags that the module reads or writes. */
#define HF_EXEMPT_A 0x0001u     /* either of these two exempts the user */
#define HF_EXEMPT_B 0x0002u     /*   from the message rules             */
#define HF_IDENTIFIED 0x0008u   /* identity established */
#define HF_PINMARK 0x0100u      /* pinned by an operator (pinx) */
#define HF_HIDDEN 0x0200u       /* hidden from non-operators */

/* One connected user. */
typedef struct ServerUserRec {
    struct ServerUserRec *nextUser;
    NetAddress netAddress;
    uint32 crc;     /* client identity */
    uint32 counter; /* client identity across connections; room owner key */
    time_t lastActive;
    time_t signonTime;
    int nbrFloodEvents;
    uint16 flags; /* HF_ bits */
    UserActionRec *actionList;
    UserID lastESPsender;                /* last sender of a private page */
    struct ServerRoomRec *lastOwnedRoom; /* member room this user owns */
    int nbrFailedPasswordAttempts;
    uint32 puidCtr; /* per-installation identity */
    uint32 puidCRC;
    RoomID desiredRoom; /* room asked for at logon */
    int authAttempts;
    void *pluginUserInfo; /* read through getPluginUserInfo only */
    UserRec user;
} ServerUserRec;

/* Host room flags that the module reads or writes. */
#define RMF_PRIVATE 0x0002u
#define RMF_CLOSED 0x0008u
#define RMF_NOMEMBERS 0x0080u
#define RMF_NOLOOSEPROPS 0x0200u

/* The public description of a room, embedded in ServerRoomRec. */
typedef struct RoomRec {
    uint32 roomFlags; /* RMF_ bits */
    sint32 facesID;
    RoomID roomID;
    sint16 roomNameOfst; /* Pascal string in varBuf */
    sint16 pictNameOfst;
    sint16 artistNameOfst;
    sint16 passwordOfst;
    uint16 nbrHotspots;
    sint16 hotspotOfst;
    uint16 nbrPictures;
    sint16 pictureOfst;
    uint16 nbrDrawCmds;
    sint16 firstDrawCmd;
    uint16 nbrPeople;
    uint16 nbrLProps;
    sint16 firstLProp; /* offset of the first LPropRec in varBuf */
    sint16 reserved;
    sint16 lenVars;
} RoomRec;

/* One room. */
typedef struct ServerRoomRec {
    struct ServerRoomRec *nextRoom;
    UserID *occupants; /* ServerState.maxPeoplePerRoom slots, 0 = empty */
    UserID lastPainter;
    int maxOccupancy;
    ClientID memberOwner; /* owner's counter; 0 for a room nobody owns */
    Str31 roomPassword;   /* non-empty when the room has a password */
    uint32 varBufAlloc;
    unsigned char *varBuf;
    void *pluginRoomInfo; /* read through getPluginRoomInfo only */
    RoomRec room;
} ServerRoomRec;

/* Link at the head of every record of a room's variable buffer. */
typedef struct LLRec {
    sint16 nextOfst; /* offset of the next record, 0 at the end */
    sint16 reserved;
} LLRec;

/* One loose prop in a room's variable buffer. */
typedef struct LPropRec {
    LLRec link;
    AssetSpec propSpec;
    uint32 flags;
    sint32 refCon;
    Point loc;
} LPropRec;

/* One drawing command; drawCmd 3 clears the room's drawings. */
typedef struct DrawRecord {
    LLRec link;
    sint16 drawCmd;
    uint16 cmdLength;
    sint16 dataOfst;
} DrawRecord;

#define DRAW_CLEAR 3

/* The state every entry point receives. */
typedef struct ServerState {
    ServerUserRec *currentUser; /* sender of the message in hand, or null */
    ServerRoomRec *entrance;
    int nbrRooms;
    ServerRoomRec *roomList; /* linked by nextRoom, oldest first */
    int nbrUsers;
    ServerUserRec *userList; /* linked by nextUser, oldest first */
    int maxPeoplePerRoom;
} ServerState;

/* A client message: this header, then `length` bytes of body. */
typedef struct ClientMsg {
    uint32 eventType; /* four-character code, first character high */
    uint32 length;    /* bytes of body */
    sint32 refNum;
} ClientMsg;

#define KESTROM_FOURCC(a, b, c, d)                                             \
    (((uint32)(uint8)(a) << 24) | ((uint32)(uint8)(b) << 16) |                 \
     ((uint32)(uint8)(c) << 8) | (uint32)(uint8)(d))

/* The body of a message starts right after its header. */
static inline unsigned char *clientMsgBody(ClientMsg *msg) {
    return (unsigned char *)(msg + 1);
}

/* The logon record carried by 'regi'; the module reads two fields. */
#define REGI_RECORD_SIZE 128
#define REGI_OFFSET_USERNAME 8
#define REGI_OFFSET_AUXFLAGS 72

/* A fan-out: the clients a client update reaches. */
typedef struct Fanout {
    ServerUserRec *user;
    sint32 wholeRoom; /* 0: that user's client; 1: everyone in the room */
} Fanout;

/* Kill reasons of ScheduleUserKill. */
#define KILL_LOGGEDOFF 1
#define KILL_WITHTEXT 16

/* Size of the text SeedToWizKey writes, terminating NUL included. */
#define KESTROM_WIZKEY_SIZE 32

/* ------------------------------------------------------- host operations */

/* Memory.  Every block the module holds comes from here. */
void *NewPtr(size_t size);      /* a block, or null */
void *NewPtrClear(size_t size); /* a zero-filled block, or null */
void DisposePtr(void *block);   /* returns a block; null is ignored */

/* Per-user and per-room storage that the host reserves for the module. */
void setPluginUserInfoSize(PluginID id, sint32 bytes); /* zero-filled per user */
void setPluginRoomInfoSize(PluginID id, sint32 bytes); /* zero-filled per room */
void *getPluginUserInfo(PluginID id, ServerUserRec *user); /* or null */
void *getPluginRoomInfo(PluginID id, ServerRoomRec *room); /* or null */

/* Look-ups; each answers null when nothing matches. */
ServerUserRec *GetServerUser(UserID userID);            /* connected user */
ServerUserRec *GetServerUserByName(const char *name);   /* by C-string name */
ServerUserRec *GetServerUserByCounter(uint32 counter);  /* by client counter */
ServerRoomRec *GetRoom(RoomID roomID);                  /* existing room */
int UserRank(ServerUserRec *user); /* 0 guest, 1 member, 2 wizard, 3 god */

/* Texts, printf-style.  User text must only ever be an argument. */
void UserMessage(ServerUserRec *user, const char *fmt, ...) KESTROM_PRINTF(2, 3);        /* server message to one user */
void UserPrivateMessage(ServerUserRec *user, const char *fmt, ...) KESTROM_PRINTF(2, 3); /* private message to one user */
void RoomMessage(ServerRoomRec *room, const char *fmt, ...) KESTROM_PRINTF(2, 3);        /* everyone in the room */
void GlobalMessage(const char *fmt, ...) KESTROM_PRINTF(1, 2);                           /* everyone connected */
void WizGlobalMessage(const char *fmt, ...) KESTROM_PRINTF(1, 2);                        /* every operator (rank 2+) */
void GodGlobalMessage(const char *fmt, ...) KESTROM_PRINTF(1, 2);                        /* every owner (rank 3) */
void WizRoomMessage(ServerRoomRec *room, const char *fmt, ...) KESTROM_PRINTF(2, 3);     /* operators in the room */
void WizNeighborMessage(ServerUserRec *user, const char *fmt, ...) KESTROM_PRINTF(2, 3); /* operators' notice from user */
void FormattedLogMessage(ServerUserRec *user, const char *tag, const char *fmt, ...) KESTROM_PRINTF(3, 4); /* server log line */

/* Acting on users and rooms. */
void ChangeUserRoom(ServerUserRec *user, ServerRoomRec *room, sint32 force, ClientMsg *msg); /* force 1: also closed or passworded rooms */
void ChangeUserDesc(ServerUserRec *user, sint16 colorNbr, sint16 faceNbr, sint32 nbrProps, const AssetSpec *props); /* store and tell the room */
void ChangeUserFace(ServerUserRec *user, sint16 faceNbr);   /* store and tell the room */
void ChangeUserColor(ServerUserRec *user, sint16 colorNbr); /* store and tell the room */
void UpdateUserPosition(ServerUserRec *user, Point pos);    /* tell the room the user's position */
void DeleteLooseProp(ServerUserRec *user, sint32 propNum);  /* -1: every loose prop of the user's room */
void AddDrawCommand(ServerUserRec *user, const DrawRecord *draw); /* a drawing for the user's room */
void ScheduleUserKill(ServerUserRec *user, sint32 reason, const char *text, sint32 flags); /* disconnect after the current call */

/* Client updates through a fan-out. */
Fanout toUser(ServerUserRec *user);     /* that user's own client */
Fanout toUserRoom(ServerUserRec *user); /* every client in that user's room */
void sendMsgUserDesc(Fanout to, ServerUserRec *user, sint16 faceNbr, sint16 colorNbr, sint32 nbrProps, const AssetSpec *props); /* looks */
void sendMsgUserProp(Fanout to, ServerUserRec *user, sint32 nbrProps, const AssetSpec *props); /* worn props */
void sendMsgUserMove(Fanout to, ServerUserRec *user, Point pos);                  /* position */
void sendMsgUserName(Fanout to, ServerUserRec *user, const unsigned char *name); /* Pascal name */
void sendMsgNavError(Fanout to, sint32 code);                                     /* room change refused */
void sendMsgDraw(Fanout to, const DrawRecord *draw);                              /* a drawing */

/* Messages submitted on a user's behalf, handled after the message in hand.
   The host owns the message from then on. */
void deliverMessageNormal(PluginID id, ClientMsg *msg, ServerUserRec *user); /* screened by every plug-in */
void deliverMessageDirect(PluginID id, ClientMsg *msg, ServerUserRec *user); /* carried out unscreened */

/* Timers: handleTimerEvent(data) is called once, `seconds` from now. */
void scheduleTimerEvent(PluginID id, void *data, sint32 seconds);

/* Strings. */
unsigned char *CtoPstr(char *s);  /* C string to Pascal string, in place */
char *PtoCstr(unsigned char *s);  /* Pascal string to C string, in place */
void DecryptCString(const unsigned char *encoded, char *out, sint32 length, sint32 flags); /* decode `length` bytes, NUL-terminate */

/* Identity: one of the user's two identification keys (which 1 or 0) as text
   of at most KESTROM_WIZKEY_SIZE bytes, NUL included. */
void SeedToWizKey(ServerUserRec *user, char *out, sint32 which);

/* --------------------------------------------------------- decision trace

   One optional host operation, KestromTraceDecision, receives a record of
   every decision the module takes: each rate check (passed or refused), each
   content rule, each refusal of command dispatch, each message swallowed for
   a malformed body, the sanctions and checks of the timer actions.  The
   module binds it weakly: a host that does not export it loads and runs the
   module exactly as one that does (no text, log line, client update,
   allocation or order of checks differs), and the record is never built.

   The record lives on the module's stack for the call only: copy what you
   keep.  Texts (rule, command) are static.  `size` is the size of the record
   as the module was built: a host built against a later host.h reads a
   field only when it lies within `size`; new fields are only ever added at
   the end.

   What is traced.  A rule of the parameter file, whenever it applies to the
   room and is checked: passed or refused.  A decision no parameter makes,
   when it refuses.  Command dispatch, when it refuses a command line and
   when it calls the command's routine (outcome passed).  The help requests
   that help answers are not decisions and are not traced.

   Rule names.  A decision that a parameter makes is named by the parameter
   ("chat", "mimick", "zone", "avatarzone", "nodupavatars", "clearlooseprops",
   "godonly", "dupip", "chatgoto", "spoof", and every rate: "page",
   "reppage", "repchat", "propdrop", "roommsg", "facechange", "avatarchange",
   "move", "slide", "spotstatechange", "namechange", "newroom", "gpage",
   "rpage", "roompage"); `parameter` is its index and `line` the
   parameter-file line of the rule (0: a built-in default).  A chatgoto
   rule is checked when its phrase is said: passed when the move is made,
   refused when the speaker may not move the user whispered to.  The others have
   fixed names and `parameter` -1:
     roomgag      chat of a user gagged in the room (no text)
     pagegag      a page of a page-gagged user
     namegag      a name change of a name-gagged user
     listgag      a room or user list asked for by a list-gagged user
     roompin      a move, avatar change or prop drop of a user pinned in the room
     roompropgag  an avatar change of a user prop-gagged in the room
     illegalname  a new name that cleaning had to change
     pagelength   a page typed as chat that is not longer than pagelength
     guestwiz     a guest's request for operator status while guestwiz is off
     rnolooseprops, rpropfreeze, rnodupavatars
                  the member owner's room settings (a drop, a loose-prop move
                  or deletion, a duplicate avatar where no nodupavatars rule
                  applies)
     propfreeze   an operator's freeze of the room's loose props
     noroom       a prop drop, move or deletion, or a move under an
                  avatarzone rule, by a user in no room
     kick         a room change into a room the user is kicked from
     sanction     the room's pin, gag and prop-gag applied on entry
                  (`sanctions`: the bits applied; passed when there are none)
     malformed    a message whose body is too short for its fields, whose
                  text does not end within it, whose encoded length is out of
                  bounds, or whose face or colour is out of range
     rank         command dispatch: the issuer is below the row's rank; passed:
                  the routine is called for an issuer of the row's rank
     owner        command dispatch: the issuer is below the rank of a row open
                  to room owners and owns no room that opens it; passed: the
                  routine is called for an owner below the row's rank
     target       command dispatch: whisper target gone, command that must be
                  whispered, named user not found, target of higher rank
     argument     command dispatch: argument missing, not allowed, or the
                  issuer as target where the row forbids it; and a page typed
                  as chat without a message

   Rate checks (KESTROM_DF_RATE): levelBefore is the bucket's level when it
   was checked (after draining), levelAfter the level the decision left,
   units what the activity cost, wait the least whole number of seconds
   after which one more such activity would pass, the bucket left as it is
   (KESTROM_NO_WAIT when the rule never drains or its maximum is 0).  A user
   of rank 2 or more passes a rate check without counting
   (KESTROM_DF_EXEMPT), as does any user under a maximum of -1
   (KESTROM_DF_UNLIMITED); rank exemptions taken before a rate check is
   reached (moves of operators) are not traced.

   Size and count rules (KESTROM_DF_MEASURE): measured against maximum:
   the characters of the line (mimick), the people in the room
   (clearlooseprops), the other users on the address (dupip).

   Command dispatch (KESTROM_DF_COMMAND): command is the row's word,
   rankNeeded the rank the row (or the target) needs and rankHeld the
   issuer's. */

#define KESTROM_PASSED 0
#define KESTROM_REFUSED 1

/* KestromDecision.selection: how the rule was chosen for the room. */
#define KESTROM_SELECT_NONE 0  /* no parameter-file rule: a fixed decision */
#define KESTROM_SELECT_RANGE 1 /* a room-number range, rangeLow..rangeHigh */
#define KESTROM_SELECT_KIND 2  /* a room-kind bit, selectionBit: 0x0001 public, 0x0002 private, 0x0004 member, 0x0010 altmember */
#define KESTROM_SELECT_LIMBO 3 /* no room (the user is in none, or the number names none): any selection */
#define KESTROM_SELECT_ANY 4   /* a rule without room selection (chatgoto, dupip) */

/* KestromDecision.flags: which groups of fields hold values. */
#define KESTROM_DF_RATE 0x0001      /* levelBefore, levelAfter, maximum, decay, units, wait */
#define KESTROM_DF_COMMAND 0x0002   /* command, rankNeeded, rankHeld */
#define KESTROM_DF_MEASURE 0x0004   /* measured, maximum */
#define KESTROM_DF_EXEMPT 0x0008    /* a rate check passed by rank, nothing counted */
#define KESTROM_DF_UNLIMITED 0x0010 /* a rate check under maximum -1, nothing counted */

#define KESTROM_NO_WAIT (-1)
#define KESTROM_NO_TIMER (-1)

typedef struct KestromDecision {
    uint32 size;          /* sizeof(KestromDecision) as the module was built */
    uint32 messageType;   /* four-character code of the message in hand; 0 in a timer action */
    sint32 timerAction;   /* the timer action in hand (0..6); KESTROM_NO_TIMER in a message */
    sint32 outcome;       /* KESTROM_PASSED or KESTROM_REFUSED */
    sint32 told;          /* 1 when this decision sent the user a text */
    sint32 flags;         /* KESTROM_DF_ bits */
    const char *rule;     /* parameter name or fixed name (above) */
    sint32 parameter;     /* parameter index 0..26; -1 for a fixed name */
    sint32 line;          /* parameter-file line of the rule; 0 built-in default or fixed */
    ServerUserRec *user;  /* whom the decision concerns (logged off, refused, sanctioned) */
    ServerUserRec *other; /* the other user involved, when connected: the previous speaker
                             (mimick), the occupant whose space was entered (avatarzone), the
                             wearer of the same avatar (nodupavatars), the command's target,
                             the user moved by a chatgoto phrase, the arriving user (dupip) */
    UserID otherID;       /* that user's ID, also when no longer connected; 0 for none */
    RoomID room;          /* the room the rule was chosen for; -1 for none */
    sint16 selection;     /* KESTROM_SELECT_ */
    sint32 selectionBit;  /* KESTROM_SELECT_KIND: the room-kind bit */
    sint32 rangeLow;      /* KESTROM_SELECT_RANGE: the range */
    sint32 rangeHigh;
    sint32 levelBefore;   /* rate: level when checked, after draining */
    sint32 levelAfter;    /* rate: level as the decision left it */
    uint32 maximum;       /* rate, size and count rules: the rule's maximum */
    double decay;         /* rate: units that drain per second */
    sint32 units;         /* rate: what this activity cost */
    sint32 wait;          /* rate: seconds until one more would pass, or KESTROM_NO_WAIT */
    sint32 measured;      /* size and count rules: what was measured against maximum */
    sint32 rankNeeded;    /* command: rank needed */
    sint32 rankHeld;      /* command: the issuer's rank */
    const char *command;  /* command: the row's word, without the quote */
    sint32 sanctions;     /* kick, sanction: the sanction bits (0x01 pin, 0x02 kick, 0x04 gag, 0x08 propgag) */
} KestromDecision;

/* Optional: a host that wants the trace exports it like the operations
   above; the module calls it once per decision. */
void KestromTraceDecision(const KestromDecision *decision);

/* ---------------------------------------------------------- entry points */

/* Start: argv[0] is the module path, argv[1] the parameter file.  Returns
   the module's state (pluginDat), or null when start failed. */
KESTROM_EXPORT void *initializeServerPlugin(PluginID pluginID, int argc, char **argv);
/* Stop: frees everything the module holds. */
KESTROM_EXPORT void shutdownServerPlugin(ServerState *ss, void *pluginDat);
/* A user has connected (record created, not yet in a room). */
KESTROM_EXPORT void noteUserCreation(ServerState *ss, void *pluginDat, ServerUserRec *user);
/* A user is disconnecting (record still valid). */
KESTROM_EXPORT void noteUserDeletion(ServerState *ss, void *pluginDat, ServerUserRec *user);
/* A room has been created. */
KESTROM_EXPORT void noteRoomCreation(ServerState *ss, void *pluginDat, ServerRoomRec *room);
/* A room is being deleted (record still valid). */
KESTROM_EXPORT void noteRoomDeletion(ServerState *ss, void *pluginDat, ServerRoomRec *room);
/* A user has entered a room. */
KESTROM_EXPORT void noteUserRoomEntry(ServerState *ss, void *pluginDat, ServerUserRec *user, ServerRoomRec *room);
/* A client message: returns msg to pass it, null to swallow it. */
KESTROM_EXPORT ClientMsg *handleMessage(ServerState *ss, void *pluginDat, ClientMsg *msg);
/* A timer set with scheduleTimerEvent has fallen due. */
KESTROM_EXPORT void handleTimerEvent(ServerState *ss, void *pluginDat, void *timerDat);

#ifdef __cplusplus
}
#endif

#endif /* KESTROM_HOST_H */
