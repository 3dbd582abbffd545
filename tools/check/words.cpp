// words.cpp - the table of what the parameter file's words mean.
#include "tools/check/words.h"

#include <cctype>

namespace kestrom::check {

namespace {

constexpr int32_t PUB = ROOM_PUBLIC;
constexpr int32_t PUB_PRIV_MEM = ROOM_PUBLIC | ROOM_PRIVATE | ROOM_MEMBER;

constexpr Default D_ZONE{PUB, 12, 0.0};
constexpr Default D_SPOOF{PUB, 0, 0.0};
constexpr Default D_PAGE{PUB_PRIV_MEM, 1, 0.5};
constexpr Default D_REPPAGE{PUB_PRIV_MEM, 1, 0.1};
constexpr Default D_CHAT{PUB, 10, 1.0};
constexpr Default D_ROOMMSG{PUB, 0, 0.2};
constexpr Default D_FACECHANGE{PUB, 10, 0.5};
constexpr Default D_AVATARCHANGE{PUB, 40, 2.0};
constexpr Default D_MOVE{PUB, 30, 0.2};
constexpr Default D_SPOTSTATECHANGE{PUB, 30, 0.5};
constexpr Default D_AVATARZONE{PUB, 12, 0.0};

constexpr int32_t RATE = CARRIES_MAXIMUM | CARRIES_DECAY;

constexpr const char *SHARED_COUNT =
    "Chat lines and pages, new and repeated alike, fill one count per user: the `chat`, `repchat`, "
    "`page` and `reppage` rules all count there, so a page uses allowance that chat then lacks.";

// In the order of the module's rule chains.
constexpr ParameterWords theParameters[] = {
    {"zone", 0, CARRIES_MAXIMUM, Form::THRESHOLD, &D_ZONE, "pixel", "pixels", true,
     "the same loose prop may not lie twice within {N} pixels",
     "Loose props: a prop dropped or moved within MAXIMUM pixels (across and down) of a copy of "
     "itself is refused.", nullptr, "zone 16 public private"},
    {"spoof", 1, 0, Form::SWITCH, &D_SPOOF, nullptr, nullptr, true,
     "refused",
     "Spoofed chat (a line whose opening symbols include `@`, which places the text elsewhere on "
     "the screen) is refused where a spoof rule applies.", nullptr, "spoof all warn"},
    {"page", 2, RATE, Form::RATE, &D_PAGE, "page", "pages", true, nullptr,
     "Pages to the operators (the host's page command, or a page message).", SHARED_COUNT,
     "page 2 0.05 all warn"},
    {"reppage", 3, RATE, Form::RATE, &D_REPPAGE, "repeated page", "repeated pages", true, nullptr,
     "A page that repeats the sender's previous line; it is counted under this rule instead of "
     "`page`.", SHARED_COUNT, "reppage 1 0.02 all"},
    {"chat", 4, RATE, Form::RATE, &D_CHAT, "line", "lines", true, nullptr,
     "Chat lines said in a room.", SHARED_COUNT, "chat 12 1.5 public private warn"},
    {"repchat", 5, RATE, Form::RATE, &D_CHAT, "repeated line", "repeated lines", true, nullptr,
     "A chat line that repeats the speaker's previous line; it is counted under this rule "
     "instead of `chat`.", SHARED_COUNT, "repchat 3 0.2 all warn"},
    {"propdrop", 6, RATE, Form::RATE, &D_CHAT, "prop drop", "prop drops", true, nullptr,
     "Loose props dropped into a room.", nullptr, "propdrop 10 0.5 public private warn"},
    {"roommsg", 7, RATE, Form::RATE, &D_ROOMMSG, "room message", "room messages", true, nullptr,
     "Room messages (the client's message to the whole room).", nullptr, "roommsg 5 0.5 all warn"},
    {"facechange", 8, RATE, Form::RATE, &D_FACECHANGE, "face change", "face changes", true, nullptr,
     "Changes of face or face colour.", nullptr, "facechange 10 0.5 all"},
    {"avatarchange", 9, RATE, Form::RATE, &D_AVATARCHANGE, "changed prop", "changed props", true,
     nullptr,
     "Changes of the props a user wears, counted per prop that changes (at least one per change).",
     nullptr, "avatarchange 40 2.0 public private member warn"},
    {"move", 10, RATE, Form::RATE, &D_MOVE, "move", "moves", true, nullptr,
     "Moves within the room (a step of more than 4 pixels).", nullptr, "move 30 2.0 all"},
    {"slide", 11, RATE, Form::RATE, &D_MOVE, "slide", "slides", true, nullptr,
     "Slides: small moves of at most 4 pixels across and down.", nullptr, "slide 60 4.0 all"},
    {"spotstatechange", 12, RATE, Form::RATE, &D_SPOTSTATECHANGE, "spot state change",
     "spot state changes", true, nullptr,
     "Hotspot state changes, door locks and unlocks.", nullptr, "spotstatechange 20 0.5 public warn"},
    {"chatgoto", 13, CARRIES_ROOM | CARRIES_TEXT, Form::CHATGOTO, nullptr, nullptr, nullptr, false,
     nullptr,
     "A chat phrase that moves the speaker: saying exactly PHRASE (any case, nothing else on the "
     "line) sends the speaker to room ROOM, or to the room he is in for `currentroom`; an "
     "operator who whispers the phrase sends the user whispered to.",
     "The phrase works in every room; the first rule with the phrase counts.",
     "chatgoto 1 take me to the lobby"},
    {"clearlooseprops", 14, CARRIES_MAXIMUM, Form::THRESHOLD, nullptr, "person", "people", true,
     "anyone may clear all loose props while at most {N} people are in the room",
     "Who may delete all loose props at once: anyone while at most MAXIMUM people are in the room; "
     "the room's creator always.", nullptr, "clearlooseprops 3 public private warn"},
    {"nodupavatars", 15, 0, Form::SWITCH, nullptr, nullptr, nullptr, true,
     "duplicate avatars refused",
     "No two users in the room may wear the same avatar.",
     "The listing writes this rule as `nodupavatars 0 0 ROOMS`.", "nodupavatars public warn"},
    {"namechange", 16, RATE, Form::RATE, &D_AVATARCHANGE, "name change", "name changes", true, nullptr,
     "Changes of a user's name.", nullptr, "namechange 5 0.05 all warn"},
    {"take", 17, 0, Form::SWITCH, nullptr, nullptr, nullptr, false,
     "permitted",
     "The `take command (wearing another user's avatar) is permitted; arriving users are told "
     "the room is a take-avatar room.", nullptr, "take rm30"},
    {"dupip", 18, CARRIES_MAXIMUM | CARRIES_TEXT, Form::DUPIP, nullptr, "connection", "connections",
     false, nullptr,
     "Duplicate addresses: when more than MAXIMUM other users below operator rank are connected "
     "from the same address, the last of them is logged off with \"Duplicate IP limit exceeded\".",
     "PATTERN is four parts a.b.c.d, each a number 0 to 255 or `*`; without a pattern the rule "
     "fits every address.  The rule with the fewest `*` that fits the address counts; on a tie "
     "the first.", "dupip 4 192.168.*.*"},
    {"godonly", 19, 0, Form::SWITCH, nullptr, nullptr, nullptr, false,
     "closed to all but owners (rank god)",
     "Only users of rank god may be in the room: anyone else is logged off a second after "
     "arriving.", nullptr, "godonly rm99"},
    {"avatarzone", 20, CARRIES_MAXIMUM, Form::THRESHOLD, &D_AVATARZONE, "pixel", "pixels", true,
     "avatars keep {N} pixels of personal space",
     "Personal space: a move that would bring a user within MAXIMUM pixels (across and down) of "
     "another avatar is refused.", nullptr, "avatarzone 10 rm1-5 warn"},
    {"mimick", 21, CARRIES_MAXIMUM, Form::THRESHOLD, nullptr, "character", "characters", true,
     "a line of {N} characters or more may not repeat the room's previous line",
     "Mimicking: a member or guest may not repeat the line someone else just said in the room, "
     "when it has at least MAXIMUM characters.", nullptr, "mimick 12 public private"},
    {"pinx", 22, RATE, Form::POSITION, nullptr, nullptr, nullptr, false,
     "pinned users are put at {N} across, {D} down",
     "Where the `pinx command puts a pinned user: ACROSS is the horizontal, DOWN the vertical "
     "coordinate (written where a rate rule has its maximum and decay).",
     "Without a rule the spot is 490 across, 362 down.", "pinx 490 362 all"},
    {"newroom", 23, RATE, Form::RATE, nullptr, "new room", "new rooms", true, nullptr,
     "Member rooms created with `newroom.", nullptr, "newroom 1 0.001 all warn"},
    {"gpage", 24, RATE, Form::RATE, &D_PAGE, "`gpage", "`gpages", true, nullptr,
     "Pages to the server owners with `gpage.", nullptr, "gpage 1 0.01 all warn"},
    {"rpage", 25, RATE, Form::RATE, &D_PAGE, "`rpage", "`rpages", true, nullptr,
     "Pages to a member room's owner with `rpage.", nullptr, "rpage 3 0.1 all warn"},
    {"roompage", 26, RATE, Form::RATE, &D_PAGE, "`roompage", "`roompages", true, nullptr,
     "Pages to the operators in the room with `roompage.", nullptr, "roompage 2 0.05 all warn"},
};

constexpr KeywordWords theKeywords[] = {
    {"mroombg", Argument::PICTURE, "off", false, "PICTURE | off",
     "new member rooms get the picture {V}", "new member rooms get no picture",
     "The picture a new member room gets (`off`: none).",
     "At most 31 characters (the rest of the line, trailing blanks included); a longer name is "
     "refused and no picture is set.  A reload keeps the picture unless the file names one.",
     "mroombg harbour-default.png"},
    {"wizinmemberrooms", Argument::SWITCH, "no", false, "yes | no",
     "operators may enter closed and passworded member rooms; arriving users are told",
     "operators are kept out of closed and passworded member rooms like everyone else",
     "Whether operators may enter closed and passworded member rooms.",
     "Switching it on tells everyone connected.  A reload keeps the switch unless the file sets "
     "it.", "wizinmemberrooms yes"},
    {"rownerinroom", Argument::SWITCH, "no", true, "yes | no",
     "an owner handing a room over with `rowner must be in it",
     "an owner may hand a room over with `rowner from anywhere",
     "Whether an owner must stand in the member room to hand it over with `rowner.", nullptr,
     "rownerinroom yes"},
    {"memberrwho", Argument::SWITCH, "no", true, "yes | no",
     "`rwho tells anyone the name of a room's owner",
     "`rwho names a room's owner to operators only",
     "Whether `rwho names a member room's owner to everyone (otherwise to operators only).",
     nullptr, "memberrwho yes"},
    {"rtakedelay", Argument::OFF_OR_NUMBER, "off", true, "SECONDS | off",
     "a member room whose owner has been gone more than {V} seconds may be taken with `rtake",
     "`rtake is off",
     "How long a member room's owner must have been logged off before another member may take "
     "the room with `rtake (`off`: never).",
     "A negative number is off too.", "rtakedelay 1800"},
    {"mroomdiscipline", Argument::OFF_OR_NUMBER, "off", true, "COUNT | off",
     "owners may gag, pin and prop-gag in their rooms; each room remembers {V} disciplined users",
     "the member discipline commands are off",
     "Whether the member discipline commands (`rgag, `rpin, `rpropgag and their undo commands) "
     "work, and how many disciplined users each room remembers.",
     "They work only while the number is above 0 (`off`, 0 and negative numbers switch them "
     "off; a room then remembers 20).", "mroomdiscipline 25"},
    {"gpagelength", Argument::NUMBER, "0", true, "CHARACTERS",
     "a `gpage text needs at least {V} characters (operators excepted)", nullptr,
     "The fewest characters a `gpage text must have, for users below operator rank.",
     "Compared as an unsigned number: a negative value refuses every `gpage of such users.",
     "gpagelength 10"},
    {"pagelength", Argument::NUMBER, "0", true, "CHARACTERS",
     "a page needs more than {V} characters", nullptr,
     "A page with no more than this many characters is refused as too short (a `roompage "
     "text, with fewer).",
     "Compared as an unsigned number: a negative value refuses every page.", "pagelength 3"},
    {"gpageresponse", Argument::TEXT, nullptr, false, "TEXT",
     "users who `gpage are answered \"{V}\"", "`gpage is not answered",
     "The answer a user gets for a `gpage (the rest of the line).",
     "At most 250 characters; a longer text is refused and none is set.  A line without text "
     "clears it.  A reload keeps the text unless the file names one.",
     "gpageresponse Your page went to the server owners."},
    {"pageresponse", Argument::TEXT, nullptr, false, "TEXT",
     "users whose page was accepted are answered \"{V}\"", "accepted pages are not answered",
     "The answer a user gets a second after a page is accepted (the rest of the line).",
     "At most 250 characters; a longer text is refused and none is set.  A line without text "
     "clears it.  A reload keeps the text unless the file names one.",
     "pageresponse Thank you - an operator will be with you shortly."},
    {"autoannounce", Argument::ANNOUNCEMENT, nullptr, true, "HH:MM:SS MESSAGE",
     "daily at {V}", nullptr,
     "A message sent to everyone every day at the given local time.",
     "The time is exactly 8 characters, hours 00 to 23, then one space and the message (at most "
     "250 characters).  Each line adds one announcement.",
     "autoannounce 09:00:00 Good morning!"},
    {"setrank", Argument::SETRANK, nullptr, false, "COMMAND RANK [TARGET-RANK]",
     "", nullptr,
     "Changes the rank a chat command needs, and optionally the rank needed to direct it at "
     "another user.",
     "COMMAND as typed (the four abbreviations `ne`, `re`, `rk` and `runk` work); ranks are "
     "guest, member, wizard or operator, god or owner, disable (held by nobody), or 0 to 4.  A "
     "target rank is refused for a command that takes no target.  The change lasts until the "
     "module restarts: a reload whose file no longer has the line keeps it.  `setrank kestrom` "
     "to a rank no operator holds makes every reload impossible until then.",
     "setrank gmsg god"},
    {"guestwiz", Argument::SWITCH, "yes", true, "yes | no",
     "guests may ask for operator status", "guests may not ask for operator status",
     "Whether guests may ask for operator status.", nullptr, "guestwiz no"},
};

constexpr SelectionWords theSelectionWords[] = {
    {"all", ROOM_PUBLIC | ROOM_PRIVATE | ROOM_MEMBER | ROOM_LIMBO | ROOM_ALTMEMBER, false,
     "public, private, member, altmember and limbo together"},
    {"nowhere", 0, true, "clears the room kinds (and warn) written before it; room numbers stay"},
    {"off", 0, true, "the same as nowhere"},
    {"public", ROOM_PUBLIC, false, "rooms no member owns that are not private"},
    {"private", ROOM_PRIVATE, false, "rooms no member owns that are private"},
    {"member", ROOM_MEMBER, false, "member rooms whose owner has not switched to `rlimit on"},
    {"altmember", ROOM_ALTMEMBER, false,
     "member rooms whose owner has switched to `rlimit on; naming it makes `rlimit available"},
    {"limbo", ROOM_LIMBO, false, "users in no room (any other word selects them too)"},
    {"warn", ROOM_WARN, false, "tells the user when the rule refuses something"},
};

constexpr RankWords theRankWords[] = {
    {"guest", 0}, {"member", 1}, {"wizard", 2}, {"operator", 2}, {"god", 3}, {"owner", 3},
    {"disable", 4},
};

bool sameWord(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

template <typename Row>
const Row *findIn(std::span<const Row> rows, std::string_view word, const char *Row::*name) {
    for (const Row &row : rows)
        if (sameWord(word, row.*name)) return &row;
    return nullptr;
}

}  // namespace

std::span<const ParameterWords> parameters() { return theParameters; }
std::span<const KeywordWords> keywords() { return theKeywords; }
std::span<const SelectionWords> selectionWords() { return theSelectionWords; }
std::span<const RankWords> rankWords() { return theRankWords; }

const char *rankName(int rank) {
    static constexpr const char *names[] = {"guest", "member", "wizard", "god", "disable"};
    return rank >= 0 && rank <= 4 ? names[rank] : "?";
}

const ParameterWords *findParameter(std::string_view word) {
    return findIn(parameters(), word, &ParameterWords::name);
}
const KeywordWords *findKeyword(std::string_view word) {
    return findIn(keywords(), word, &KeywordWords::word);
}
const SelectionWords *findSelectionWord(std::string_view word) {
    return findIn(selectionWords(), word, &SelectionWords::word);
}

std::string lineForm(const ParameterWords &p) {
    static constexpr const char *theForms[] = {
        "MAXIMUM DECAY ROOMS", "MAXIMUM ROOMS", "ROOMS", "ACROSS DOWN ROOMS", "ROOM|currentroom PHRASE",
        "MAXIMUM [PATTERN]",
    };
    return std::string(p.name) + " " + theForms[static_cast<int>(p.form)];
}

const char *unitFor(const ParameterWords &p, double n) { return n == 1 ? p.unit : p.units; }

}  // namespace kestrom::check
