// params.h - the parameter file: its loader and the listing of the settings
// in force.
#pragma once

#include "commands/commands.h"
#include "core/state.h"

#include <cstdio>

namespace kestrom {

constexpr int PARAM_LINE_SIZE = 300; // readline buffer

// A text setting as a load leaves it: untouched, or replaced by a text of
// its own (or by none).
struct StagedText {
    char *text;
    bool replaced;
};

// A command's ranks as a setrank line sets them.
struct RankOverride {
    int rank;
    int targetRank;
    bool set;
};

// The configuration a load reads, kept apart from the one in force: it is
// put in force only when the whole file has been read, and a load that
// fails frees it and leaves the old one as it was.  Lives on the loader's
// stack for the length of one load.
// One parameter's rules as a load reads them, kept in lookup order as
// they come: those with room ranges newest first, then the others in file
// order, so that no sort is needed afterwards.
struct ChainInProgress {
    LimitValue *ranged, *lastRanged; // lastRanged: the oldest with ranges
    LimitValue *plain, *lastPlain;   // lastPlain: the newest without

    void add(LimitValue *rule);
    // The whole chain, the two parts joined; the parts are then forgotten.
    LimitValue *take();
};

struct Config {
    ChainInProgress limits[NBR_PARAMETERS];
    AutoAnnounce *autoannounce;         // newest first, not yet armed
    StringList *setranks;               // newest first
    int32_t wizInMemberRooms;
    int32_t rownerInRoom;
    int32_t memberRWho;
    int32_t guestWiz;
    int32_t rTakeDelay;
    int32_t mroomdiscipline;
    int32_t altMemberActive;
    int32_t pageLengthLimit;
    int32_t gpageLengthLimit;
    StagedText mRoomBG;
    StagedText pageResponse;
    StagedText gpageResponse;
    RankOverride ranks[NBR_COMMANDS]; // by row of cmdTable
    int32_t noticesDue; // times a line switched wizinmemberrooms on
    bool pointIsDot;    // the locale writes reals with '.': short ones are read here, not by strtod
};

// The lines of a file by readline's rules (maxlen PARAM_LINE_SIZE), read a
// large block at a time: the loader's reader.
class ParameterLines {
  public:
    // Takes f before anything was read from it: its own buffer is left out.
    explicit ParameterLines(FILE *f) : f_(f) { std::setvbuf(f, nullptr, _IONBF, 0); }
    // Reads the open file descriptor fd (the loader's: no stdio stream to
    // set up and take down); the caller closes it.
    explicit ParameterLines(int fd) : fd_(fd) {}
    ParameterLines(const ParameterLines &) = delete;
    ParameterLines &operator=(const ParameterLines &) = delete;

    // The next line's text without its newline (nor the CR right before
    // it), cut at its first NUL, NUL-terminated; it stays good until the
    // next call.  *length is its length.  *complete is false when readline
    // would leave the line without a newline: the line is too long.  Null
    // at the end of the file, and once reading has failed (failed() tells).
    char *next(size_t *length, bool *complete);
    bool failed() const { return failed_; }
    int error() const { return error_; } // errno of the failed read, when one was set

    static constexpr size_t BLOCK = 32768; // bytes read at a time

  private:
    void refill();
    void findNul();

    FILE *f_ = nullptr;
    int fd_ = -1;             // read when there is no f_
    int error_ = 0;
    size_t at_ = 0, end_ = 0; // the bytes read and not yet taken
    size_t nul_ = 0;          // the first NUL byte at or after at_, or end_
    bool ended_ = false;      // the file has nothing more to give
    bool failed_ = false;
    char block_[BLOCK + 1];   // room for the NUL after a last line
};

// The settings a load starts from: no rules, the switches' load defaults,
// and wizinmemberrooms and the texts as they are in force.
void startConfig(Config &config, const MyState *state);
// Frees the configuration in force and puts config in its place: the
// command ranks, the wizinmemberrooms notice and the announcements' timers
// take effect here.  config is left empty.
void commitConfig(Config &config, MyState *state);
// Frees everything a failed load built.
void discardConfig(Config &config);

// Reads the parameter file named by argv[1]; 1 loaded, 0 failed.  Reports go
// to the log under "kestrom" and privately to `user` when not null.
int loadParameterFile(MyState *state, ServerUserRec *user);
// One line into `line` (capacity maxlen), or null at end of file.
char *readline(char *line, int maxlen, FILE *f);
// Rank 0..4 named by the word at cp, or -1.
int getRank(const char *cp);
// Adds the rule of one parameter line to config; 0 only when memory ran out.
int buildLimitValue(MyState *state, Config &config, ServerUserRec *user, const char *lp,
                    int lineno, const char *line);
// Parses the room selection at typeList into limit; 0 when memory ran out.
int isWhereCheckedOK(MyState *state, Config &config, ServerUserRec *user, const char *line,
                     int lineno, const char *typeList, LimitValue *limit);
// Orders every chain for lookup: rules with ranges first.
void sortTypeLimits(ServerUserRec *user, MyState *state);
// Reports one problem of one line, wrapped with its line number.
void fileContentError(MyState *state, ServerUserRec *user, const char *line, int lineno,
                      const char *msg);
// A new LimitValue copied from proto (without its ranges or text), or null.
LimitValue *makeDefault(const LimitValue *proto);
// Frees one rule with its ranges and text.
void freeRule(LimitValue *rule);
// Frees a whole chain; the head becomes null.
void freeRuleChain(LimitValue *&head);

// The whole listing, to the log (toServer) and privately to user.
void showParameters(MyState *state, ServerUserRec *user, int toServer);
// One rate-form line per rule of the chain.
void showTypeLimits(ServerUserRec *user, const char *type, const LimitValue *first, int toServer);
// Appends the rule's room selection to s, never writing past se.
void appendWhere(char *s, char *se, const LimitValue *limit);
// One listing line: to the log and/or privately behind "; ".
void logMessage(ServerUserRec *user, const char *message, int toServer);

}  // namespace kestrom
