// listing.cpp - the settings in force, written back in parameter-file
// syntax after every successful load: to the log, and to the user who
// reloaded, each line behind "; ".
#include "params/params.h"

#include "core/memory.h"

#include <cstring>

namespace kestrom {

namespace {

constexpr int RATE_LINE_SIZE = 200;

// How a listing row is written.
enum class Form {
    ANNOUNCEMENTS, // "autoannounce hh:mm:ss message", newest first
    RATE,          // "name maximum decay selection" per rule
    THRESHOLD,     // "name maximum selection" per rule
    SELECTION,     // "name selection" per rule
    CHATGOTO,      // "chatgoto room phrase" per rule with a phrase
    DUPIP,         // "dupip maximum pattern" per rule
    YESNO,         // a switch
    OFFNUMBER,     // -1 is off, else the number
    NUMBER,        // a number
    PICTURE,       // the member-room picture, or off
    TEXT,          // a text, only when one is set
    SETRANKS,      // the stored setrank lines, freed as they are written
};

struct ListingRow {
    Form form;
    const char *name;
    int32_t chain;            // the parameter index of a chain form
    int32_t MyState::*number; // the setting of a number form
    char *MyState::*text;     // the setting of a text form
};

constexpr int32_t NONE = -1;

// The listing, in its order.
constexpr ListingRow theListing[] = {
    {Form::ANNOUNCEMENTS, "autoannounce",     NONE,              nullptr,                    nullptr},
    {Form::RATE,          "avatarchange",     P_AVATARCHANGE,    nullptr,                    nullptr},
    {Form::THRESHOLD,     "avatarzone",       P_AVATARZONE,      nullptr,                    nullptr},
    {Form::RATE,          "chat",             P_CHAT,            nullptr,                    nullptr},
    {Form::CHATGOTO,      "chatgoto",         P_CHATGOTO,        nullptr,                    nullptr},
    {Form::THRESHOLD,     "clearlooseprops",  P_CLEARLOOSEPROPS, nullptr,                    nullptr},
    {Form::DUPIP,         "dupip",            P_DUPIP,           nullptr,                    nullptr},
    {Form::RATE,          "facechange",       P_FACECHANGE,      nullptr,                    nullptr},
    {Form::YESNO,         "guestwiz",         NONE,              &MyState::guestWiz,         nullptr},
    {Form::SELECTION,     "godonly",          P_GODONLY,         nullptr,                    nullptr},
    {Form::RATE,          "gpage",            P_GPAGE,           nullptr,                    nullptr},
    {Form::YESNO,         "memberrwho",       NONE,              &MyState::memberRWho,       nullptr},
    {Form::THRESHOLD,     "mimick",           P_MIMICK,          nullptr,                    nullptr},
    {Form::RATE,          "move",             P_MOVE,            nullptr,                    nullptr},
    {Form::PICTURE,       "mroombg",          NONE,              nullptr,                    &MyState::mRoomBG},
    {Form::OFFNUMBER,     "mroomdiscipline",  NONE,              &MyState::mroomdiscipline,  nullptr},
    {Form::RATE,          "namechange",       P_NAMECHANGE,      nullptr,                    nullptr},
    {Form::RATE,          "newroom",          P_NEWROOM,         nullptr,                    nullptr},
    {Form::RATE,          "nodupavatars",     P_NODUPAVATARS,    nullptr,                    nullptr},
    {Form::RATE,          "page",             P_PAGE,            nullptr,                    nullptr},
    {Form::NUMBER,        "pagelength",       NONE,              &MyState::pageLengthLimit,  nullptr},
    {Form::NUMBER,        "gpagelength",      NONE,              &MyState::gpageLengthLimit, nullptr},
    {Form::TEXT,          "pageresponse",     NONE,              nullptr,                    &MyState::pageResponse},
    {Form::TEXT,          "gpageresponse",    NONE,              nullptr,                    &MyState::gpageResponse},
    {Form::RATE,          "pinx",             P_PINX,            nullptr,                    nullptr},
    {Form::RATE,          "propdrop",         P_PROPDROP,        nullptr,                    nullptr},
    {Form::RATE,          "repchat",          P_REPCHAT,         nullptr,                    nullptr},
    {Form::RATE,          "reppage",          P_REPPAGE,         nullptr,                    nullptr},
    {Form::RATE,          "roommsg",          P_ROOMMSG,         nullptr,                    nullptr},
    {Form::RATE,          "roompage",         P_ROOMPAGE,        nullptr,                    nullptr},
    {Form::YESNO,         "rownerinroom",     NONE,              &MyState::rownerInRoom,     nullptr},
    {Form::RATE,          "rpage",            P_RPAGE,           nullptr,                    nullptr},
    {Form::OFFNUMBER,     "rtakedelay",       NONE,              &MyState::rTakeDelay,       nullptr},
    {Form::SETRANKS,      "setrank",          NONE,              nullptr,                    nullptr},
    {Form::RATE,          "slide",            P_SLIDE,           nullptr,                    nullptr},
    {Form::SELECTION,     "spoof",            P_SPOOF,           nullptr,                    nullptr},
    {Form::RATE,          "spotstatechange",  P_SPOTSTATECHANGE, nullptr,                    nullptr},
    {Form::SELECTION,     "take",             P_TAKE,            nullptr,                    nullptr},
    {Form::YESNO,         "wizinmemberrooms", NONE,              &MyState::wizInMemberRooms, nullptr},
    {Form::THRESHOLD,     "zone",             P_ZONE,            nullptr,                    nullptr},
};

// Appends piece to s when it fits before se with room for the NUL.
void appendPiece(char *s, const char *se, const char *piece) {
    char *end = s + std::strlen(s);
    const size_t length = std::strlen(piece);
    if (se - end > static_cast<ptrdiff_t>(length)) std::memcpy(end, piece, length + 1);
}

// A line of `head` and a text value, the value replaced by `error` when the
// whole line would be longer than `longest` characters.
void listGuarded(ServerUserRec *user, int toServer, const char *head, const char *value,
                 const char *error, size_t longest) {
    char line[PARAM_LINE_SIZE];
    if (std::strlen(head) + std::strlen(value) > longest) value = error;
    std::snprintf(line, sizeof line, "%s%s", head, value);
    logMessage(user, line, toServer);
}

// One line per rule: the head (name and numbers) and the room selection.
void listSelections(ServerUserRec *user, int toServer, const ListingRow &row,
                    const LimitValue *first) {
    for (const LimitValue *rule = first; rule; rule = rule->next) {
        char line[PARAM_LINE_SIZE];
        if (row.form == Form::THRESHOLD)
            std::snprintf(line, sizeof line, "%s %d ", row.name, static_cast<int32_t>(rule->maximum));
        else
            std::snprintf(line, sizeof line, "%s ", row.name);
        appendWhere(line, line + sizeof line, rule);
        logMessage(user, line, toServer);
    }
}

// An announcement line may hold 298 characters; a longer one (it cannot be
// read back) shows the error text in place of time and message.
void listAnnouncements(const MyState *state, ServerUserRec *user, int toServer) {
    constexpr size_t LONGEST = PARAM_LINE_SIZE - 2;
    for (const AutoAnnounce *announce = state->autoannounce; announce; announce = announce->next) {
        char line[PARAM_LINE_SIZE];
        const size_t length = std::strlen("autoannounce ") + std::strlen(announce->time) + 1 +
                              std::strlen(announce->message());
        if (length <= LONGEST)
            std::snprintf(line, sizeof line, "autoannounce %s %s", announce->time, announce->message());
        else
            std::snprintf(line, sizeof line, "autoannounce %s", "***ERROR*** autoannounce string too long");
        logMessage(user, line, toServer);
    }
}

void listChatgoto(const LimitValue *first, ServerUserRec *user, int toServer) {
    for (const LimitValue *rule = first; rule; rule = rule->next) {
        if (!rule->string) continue;
        char head[64];
        if (rule->maximum == 0)
            std::snprintf(head, sizeof head, "%s", "chatgoto currentroom ");
        else
            std::snprintf(head, sizeof head, "chatgoto %d ", static_cast<int32_t>(rule->maximum));
        listGuarded(user, toServer, head, rule->string, "***ERROR*** chatgoto string too long",
                    PARAM_LINE_SIZE - 1);
    }
}

void listDupip(const LimitValue *first, ServerUserRec *user, int toServer) {
    for (const LimitValue *rule = first; rule; rule = rule->next) {
        char head[64];
        std::snprintf(head, sizeof head, "dupip %d ", static_cast<int32_t>(rule->maximum));
        listGuarded(user, toServer, head, rule->string ? rule->string : "",
                    "***ERROR*** IP address string too long", PARAM_LINE_SIZE - 1);
    }
}

// Writes and frees every stored setrank line, newest first.
void listSetranks(MyState *state, ServerUserRec *user, int toServer) {
    while (StringList *stored = state->setranks) {
        state->setranks = stored->next;
        logMessage(user, stored->string(), toServer);
        DisposePtr(stored);
    }
}

// One setting: a switch, a number or a text.
void listSetting(MyState *state, ServerUserRec *user, int toServer, const ListingRow &row) {
    char line[PARAM_LINE_SIZE];
    char head[64];
    std::snprintf(head, sizeof head, "%s ", row.name);
    switch (row.form) {
    case Form::YESNO:
        std::snprintf(line, sizeof line, "%s%s", head, state->*row.number ? "yes" : "no");
        break;
    case Form::OFFNUMBER:
        if (state->*row.number == -1)
            std::snprintf(line, sizeof line, "%soff", head);
        else
            std::snprintf(line, sizeof line, "%s%d", head, state->*row.number);
        break;
    case Form::NUMBER:
        std::snprintf(line, sizeof line, "%s%d", head, state->*row.number);
        break;
    default: {
        const char *text = state->*row.text;
        if (!text && row.form == Form::TEXT) return;
        char error[64];
        std::snprintf(error, sizeof error, "***ERROR*** %s string too long", row.name);
        listGuarded(user, toServer, head, text ? text : "off", error, PARAM_LINE_SIZE - 1);
        return;
    }
    }
    logMessage(user, line, toServer);
}

}  // namespace

void showParameters(MyState *state, ServerUserRec *user, int toServer) {
    for (const ListingRow &row : theListing) {
        const LimitValue *chain = row.chain == NONE ? nullptr : state->limits[row.chain];
        switch (row.form) {
        case Form::ANNOUNCEMENTS: listAnnouncements(state, user, toServer); break;
        case Form::RATE:          showTypeLimits(user, row.name, chain, toServer); break;
        case Form::THRESHOLD:
        case Form::SELECTION:     listSelections(user, toServer, row, chain); break;
        case Form::CHATGOTO:      listChatgoto(chain, user, toServer); break;
        case Form::DUPIP:         listDupip(chain, user, toServer); break;
        case Form::SETRANKS:      listSetranks(state, user, toServer); break;
        default:                  listSetting(state, user, toServer, row); break;
        }
    }
}

void showTypeLimits(ServerUserRec *user, const char *type, const LimitValue *first, int toServer) {
    for (const LimitValue *rule = first; rule; rule = rule->next) {
        char line[RATE_LINE_SIZE];
        std::snprintf(line, sizeof line, "%s %d %g ", type, static_cast<int32_t>(rule->maximum),
                      rule->decay);
        appendWhere(line, line + sizeof line, rule);
        logMessage(user, line, toServer);
    }
}

void appendWhere(char *s, char *se, const LimitValue *limit) {
    for (const RoomNumbers *range = limit->roomNumbers; range; range = range->next) {
        char piece[32];
        if (range->low == range->high)
            std::snprintf(piece, sizeof piece, "rm%d ", range->low);
        else
            std::snprintf(piece, sizeof piece, "rm%d-%d ", range->low, range->high);
        appendPiece(s, se, piece);
    }
    if (!limit->roomNumbers && limit->roomsChecked == 0) {
        appendPiece(s, se, "off ");
        return;
    }
    struct SelectionWord {
        int32_t bit;
        const char *word;
    };
    static constexpr SelectionWord theSelectionWords[] = {
        {RC_PUBLIC, "public "},       {RC_PRIVATE, "private "}, {RC_MEMBER, "member "},
        {RC_ALTMEMBER, "altmember "}, {RC_LIMBO, "limbo "},     {RC_WARN, "warn "},
    };
    for (const SelectionWord &selection : theSelectionWords)
        if (limit->roomsChecked & selection.bit) appendPiece(s, se, selection.word);
}

void logMessage(ServerUserRec *user, const char *message, int toServer) {
    if (toServer) FormattedLogMessage(user, "kestrom", "%s", message);
    if (user) UserPrivateMessage(user, "; %s", message);
}

}  // namespace kestrom
