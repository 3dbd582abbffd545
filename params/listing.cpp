// listing.cpp - the settings in force, written back in parameter-file
// syntax after every successful load: to the log, and to the user who
// reloaded, each line behind "; ".
#include "params/params.h"

#include "core/memory.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
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

// A line written piece by piece into a buffer that ends at `end`: a piece
// is added whole when it fits with room for the NUL, and left out when not.
class LineWriter {
  public:
    // Writes on after the text already in `line`.
    LineWriter(char *line, char *end) : at_(line + std::strlen(line)), end_(end) {}
    // Starts `line` afresh.
    template <size_t N>
    explicit LineWriter(char (&line)[N]) : at_(line), end_(line + N) {
        *at_ = '\0';
    }

    LineWriter &add(const char *piece, size_t length) {
        if (end_ - at_ > static_cast<ptrdiff_t>(length)) {
            std::memcpy(at_, piece, length);
            at_ += length;
            *at_ = '\0';
        }
        return *this;
    }
    LineWriter &add(const char *piece) { return add(piece, std::strlen(piece)); }
    // A piece of a known size, copied in line.
    template <size_t N>
    LineWriter &addLiteral(const char (&piece)[N]) {
        constexpr size_t length = N - 1;
        if (end_ - at_ > static_cast<ptrdiff_t>(length)) {
            std::memcpy(at_, piece, N); // its NUL too
            at_ += length;
        }
        return *this;
    }
    // The first `length` characters of a block of M bytes (length < M):
    // when the whole block fits it is copied in line and the text cut after
    // the piece.
    template <size_t M>
    LineWriter &addFrom(const char (&block)[M], size_t length) {
        if (end_ - at_ < static_cast<ptrdiff_t>(M)) return add(block, length);
        std::memcpy(at_, block, M);
        at_ += length;
        *at_ = '\0';
        return *this;
    }
    // A number as %d writes it.
    LineWriter &add(int32_t number) {
        char digits[16];
        const auto written = std::to_chars(digits, digits + sizeof digits, number);
        return addFrom(digits, static_cast<size_t>(written.ptr - digits));
    }

    char *at() const { return at_; }

  private:
    char *at_;
    char *end_;
};

// The selection words of appendWhere, by bit, in their listing order.
struct SelectionWord {
    int32_t bit;
    char word[12];
    size_t length;
};

constexpr SelectionWord theSelectionWords[] = {
    {RC_PUBLIC, "public ", 7},       {RC_PRIVATE, "private ", 8}, {RC_MEMBER, "member ", 7},
    {RC_ALTMEMBER, "altmember ", 10}, {RC_LIMBO, "limbo ", 6},     {RC_WARN, "warn ", 5},
};

// appendWhere on a line being written.
void addWhere(LineWriter &line, const LimitValue *limit) {
    for (const RoomNumbers *range = limit->roomNumbers; range; range = range->next) {
        char piece[32];
        LineWriter writer(piece);
        writer.addLiteral("rm").add(range->low);
        if (range->low != range->high) writer.addLiteral("-").add(range->high);
        writer.addLiteral(" ");
        line.addFrom(piece, static_cast<size_t>(writer.at() - piece));
    }
    if (!limit->roomNumbers && limit->roomsChecked == 0) {
        line.addLiteral("off ");
        return;
    }
    for (const SelectionWord &selection : theSelectionWords)
        if (limit->roomsChecked & selection.bit) line.addFrom(selection.word, selection.length);
}

// Whether the locale writes reals with '.' (formatDecay's own digits are
// then %g's).
bool pointIsDot() { return std::strcmp(std::localeconv()->decimal_point, ".") == 0; }

// The value as a whole number of 10^-decimals, fewest decimals first (at
// most six), when it is 0 or lies within 0.0001 .. 999999 and needs at most
// six significant digits; false otherwise.
bool asShortDecimal(double value, int64_t &units, int &decimals) {
    if (value != 0 && std::fabs(value) < 1e-4) return false;
    double scale = 1;
    for (decimals = 0; decimals <= 6; ++decimals, scale *= 10) {
        const double whole = std::fabs(value * scale);
        if (!(whole < 1e6)) return false;
        if (whole != std::trunc(whole)) continue;
        units = static_cast<int64_t>(whole);
        for (; decimals > 0 && units % 10 == 0; --decimals) units /= 10;
        return true;
    }
    return false;
}

// The decay as %g writes it.  %g rounds to six significant digits, drops
// trailing zeros and writes 0.0001 to 999999 in fixed notation, so a short
// decimal is written here digit for digit; anything else (or a locale whose
// decimal point is not '.') goes through snprintf.
// Its length is returned.
size_t formatDecay(double decay, char (&text)[32], bool dot) {
    int64_t units = 0;
    int decimals = 0;
    if (!dot || !asShortDecimal(decay, units, decimals)) {
        std::snprintf(text, sizeof text, "%g", decay);
        return std::strlen(text);
    }
    char fraction[8];
    fraction[decimals] = '\0';
    for (int i = decimals - 1; i >= 0; --i, units /= 10) fraction[i] = static_cast<char>('0' + units % 10);
    LineWriter writer(text);
    if (std::signbit(decay)) writer.addLiteral("-");
    writer.add(static_cast<int32_t>(units));
    if (decimals > 0) writer.addLiteral(".").addFrom(fraction, static_cast<size_t>(decimals));
    return static_cast<size_t>(writer.at() - text);
}

// A line of `head` and a text value, the value replaced by `error` when the
// whole line would be longer than `longest` characters.
void listGuarded(ServerUserRec *user, int toServer, const char *head, const char *value,
                 const char *error, size_t longest) {
    char line[PARAM_LINE_SIZE];
    const size_t headLength = std::strlen(head);
    size_t valueLength = std::strlen(value);
    if (headLength + valueLength > longest) {
        value = error;
        valueLength = std::strlen(error);
    }
    LineWriter(line).add(head, headLength).add(value, valueLength);
    logMessage(user, line, toServer);
}

// One line per rule: the head (name and numbers) and the room selection.
void listSelections(ServerUserRec *user, int toServer, const ListingRow &row,
                    const LimitValue *first) {
    const size_t nameLength = std::strlen(row.name);
    for (const LimitValue *rule = first; rule; rule = rule->next) {
        char line[PARAM_LINE_SIZE];
        LineWriter writer(line);
        writer.add(row.name, nameLength).addLiteral(" ");
        if (row.form == Form::THRESHOLD) writer.add(static_cast<int32_t>(rule->maximum)).addLiteral(" ");
        addWhere(writer, rule);
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
        LineWriter writer(head);
        writer.add("chatgoto ");
        if (rule->maximum == 0)
            writer.add("currentroom ");
        else
            writer.add(static_cast<int32_t>(rule->maximum)).add(" ");
        listGuarded(user, toServer, head, rule->string, "***ERROR*** chatgoto string too long",
                    PARAM_LINE_SIZE - 1);
    }
}

void listDupip(const LimitValue *first, ServerUserRec *user, int toServer) {
    for (const LimitValue *rule = first; rule; rule = rule->next) {
        char head[64];
        LineWriter(head).add("dupip ").add(static_cast<int32_t>(rule->maximum)).add(" ");
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
    char head[64];
    LineWriter(head).add(row.name).add(" ");
    char line[PARAM_LINE_SIZE];
    LineWriter writer(line);
    writer.add(head);
    switch (row.form) {
    case Form::YESNO:
        writer.add(state->*row.number ? "yes" : "no");
        break;
    case Form::OFFNUMBER:
        if (state->*row.number == -1)
            writer.add("off");
        else
            writer.add(state->*row.number);
        break;
    case Form::NUMBER:
        writer.add(state->*row.number);
        break;
    default: {
        const char *text = state->*row.text;
        if (!text && row.form == Form::TEXT) return;
        char error[64];
        LineWriter(error).add("***ERROR*** ").add(row.name).add(" string too long");
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
    if (!first) return;
    // The name and its space, kept for every line of the chain.
    char head[RATE_LINE_SIZE];
    LineWriter(head).add(type).addLiteral(" ");
    const size_t headLength = std::strlen(head);
    const bool dot = pointIsDot();
    for (const LimitValue *rule = first; rule; rule = rule->next) {
        char line[RATE_LINE_SIZE];
        char decay[32];
        const size_t decayLength = formatDecay(rule->decay, decay, dot);
        LineWriter writer(line);
        writer.add(head, headLength)
            .add(static_cast<int32_t>(rule->maximum)).addLiteral(" ")
            .addFrom(decay, decayLength).addLiteral(" ");
        addWhere(writer, rule);
        logMessage(user, line, toServer);
    }
}

void appendWhere(char *s, char *se, const LimitValue *limit) {
    LineWriter line(s, se);
    addWhere(line, limit);
}

void logMessage(ServerUserRec *user, const char *message, int toServer) {
    if (toServer) FormattedLogMessage(user, "kestrom", "%s", message);
    if (user) UserPrivateMessage(user, "; %s", message);
}

}  // namespace kestrom
