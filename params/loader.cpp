// loader.cpp - reading the parameter file: the switches and texts, the daily
// announcements, the setrank lines and the rules of the 27 parameters.
//
// Every load starts from nothing and reads into a configuration of its own
// (Config); only once the whole file has been read does it replace the one
// in force.  Problems in a line are reported with the line's number and
// reading goes on; a line that is too long, or memory running out, ends the
// load and leaves the configuration in force as it was.
#include "params/params.h"

#include "commands/commands.h"
#include "commands/scan.h"
#include "core/memory.h"
#include "limits/limits.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace kestrom {

namespace {

constexpr const char *LOG_TAG = "kestrom";
constexpr int MAX_PICTURE_NAME = 31;
constexpr int ROOM_TYPE_SHOWN = 29; // characters of an unrecognised word quoted back
constexpr int MESSAGE_SIZE = 160;  // one problem's own text
constexpr int PATH_REPORT_SIZE = PATH_MAX + 160;

// A report that ends the load: to the log without a user, and to the user.
void reportLoadFailure(ServerUserRec *user, const char *text) {
    FormattedLogMessage(nullptr, LOG_TAG, "%s", text);
    if (user) UserPrivateMessage(user, "%s", text);
}

// "Unable to get memory for <what>, load failed".
int outOfMemory(ServerUserRec *user, const char *what) {
    char text[MESSAGE_SIZE];
    std::snprintf(text, sizeof text, "Unable to get memory for %s, load failed", what);
    reportLoadFailure(user, text);
    return 0;
}

// nextWord and wordLength of the word scanners, in line: the loader takes
// every word of the file through them.
inline const char *firstWord(const char *s) {
    while (isBlank(*s)) ++s;
    return *s ? s : nullptr;
}

inline int32_t lengthOfWord(const char *start) {
    const char *end = start;
    while (*end && !isBlank(*end)) ++end;
    return static_cast<int32_t>(end - start);
}

// The word after the one at p, or null.
const char *followingWord(const char *p) { return firstWord(p + lengthOfWord(p)); }

// wordCmp(word, name) == 0 for a word whose length is already known: the
// loader tries many names against each word.
bool isWord(const char *word, int32_t length, const char *name) {
    for (int32_t i = 0; i < length; ++i)
        if (!name[i] || foldCase(word[i]) != foldCase(name[i])) return false;
    return name[length] == '\0';
}

// Words of a fixed list by their length and first letter.  No two words of
// the list share both, and each begins with a lower-case letter, so a word
// can only be the one entry its length and folded first letter name.
constexpr int32_t LONGEST_LISTED = 23;

struct LetterTable {
    uint8_t entry[LONGEST_LISTED + 1][26]; // index + 1 into the list, or 0
    bool sound;                            // the list keeps the rules above
};

template <typename T, size_t N>
constexpr LetterTable letterTable(const T (&words)[N]) {
    LetterTable table{};
    table.sound = N < 255;
    for (size_t i = 0; i < N; ++i) {
        const char *word = words[i].word;
        int32_t length = 0;
        while (word[length]) ++length;
        if (length < 1 || length > LONGEST_LISTED || word[0] < 'a' || word[0] > 'z' ||
            table.entry[length][word[0] - 'a'] != 0) {
            table.sound = false;
            continue;
        }
        table.entry[length][word[0] - 'a'] = static_cast<uint8_t>(i + 1);
    }
    return table;
}

// The entry of `words` that the word of `length` characters at `word` is
// (case-insensitive), or null.
template <typename T, size_t N>
const T *lookUp(const LetterTable &table, const T (&words)[N], const char *word, int32_t length) {
    const char first = foldCase(word[0]);
    if (length < 1 || length > LONGEST_LISTED || first < 'a' || first > 'z') return nullptr;
    const int at = table.entry[length][first - 'a'];
    return at && isWord(word, length, words[at - 1].word) ? &words[at - 1] : nullptr;
}

// A decimal number as strtol reads it (white space, a sign, digits; 0 with
// *end at p when there are no digits), held to the 32-bit range; *end is
// where reading stopped.
int32_t readNumber(const char *p, const char **end) {
    const char *q = p;
    // No locale counts a digit or a sign as white space.
    while (!(*q >= '0' && *q <= '9') && *q != '-' && *q != '+' &&
           std::isspace(static_cast<unsigned char>(*q)))
        ++q;
    const bool negative = *q == '-';
    if (*q == '-' || *q == '+') ++q;
    if (*q < '0' || *q > '9') {
        *end = p;
        return 0;
    }
    int64_t value = 0;
    for (; *q >= '0' && *q <= '9'; ++q)
        if (value <= INT32_MAX) value = value * 10 + (*q - '0');
    *end = q;
    if (negative) value = -value;
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(value);
}

// A number written inside a word (digits, optionally signed), never reaching
// past the word; 0 when the word holds none there.
int32_t readNumberInWord(const char *p, const char **end) {
    const bool signedDigit = (*p == '-' || *p == '+') && p[1] >= '0' && p[1] <= '9';
    if (!(*p >= '0' && *p <= '9') && !signedDigit) {
        *end = p;
        return 0;
    }
    return readNumber(p, end);
}

// Powers of ten a double holds exactly.
constexpr double EXACT_TENS[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                 1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// A real written as [sign] digits [. digits] with at most 15 digits and no
// exponent, as strtod reads it when the decimal point is '.': the digits as
// a whole number and the power of ten both exact, their quotient is the
// correctly rounded value.  False for anything else.
bool readShortReal(const char *p, double *value, const char **end) {
    const char *q = p;
    const bool negative = *q == '-';
    if (*q == '-' || *q == '+') ++q;
    int64_t digits = 0;
    int count = 0, decimals = 0;
    for (; *q >= '0' && *q <= '9'; ++q, ++count)
        if (count < 15) digits = digits * 10 + (*q - '0');
    if (*q == '.')
        for (++q; *q >= '0' && *q <= '9'; ++q, ++count, ++decimals)
            if (count < 15) digits = digits * 10 + (*q - '0');
    // An exponent, a hexadecimal number or too many digits: strtod's own.
    if (count == 0 || count > 15 || *q == 'e' || *q == 'E' || *q == 'x' || *q == 'X') return false;
    const double magnitude = static_cast<double>(digits) / EXACT_TENS[decimals];
    *value = negative ? -magnitude : magnitude;
    *end = q;
    return true;
}

// A real as strtod reads it; 0 and the position unchanged when none can be
// read.  Infinities and NaNs count as unreadable: no rule can use them.
double readReal(const char *p, const char **end, bool pointIsDot) {
    double shortValue = 0;
    if (pointIsDot && readShortReal(p, &shortValue, end)) return shortValue;
    char *stop = nullptr;
    const double value = std::strtod(p, &stop);
    if (stop == p || !std::isfinite(value)) {
        *end = p;
        return 0.0;
    }
    *end = stop;
    return value;
}

// ------------------------------------------------------------ one line

// The line in hand and where its argument starts.
struct LineContext {
    MyState *state;
    Config &config; // what the load has read so far
    ServerUserRec *user;
    const char *line; // the whole line, without its newline
    int lineno;
    const char *arg; // the rest of the line after the keyword, or null
};

struct Keyword;

// A keyword line's handler: 1 to go on reading, 0 when the load must fail.
using KeywordHandler = int (*)(const LineContext &cx, const Keyword &keyword);

// A keyword and the setting its lines change.
struct Keyword {
    const char *word;
    KeywordHandler handle;
    int32_t Config::*number;  // the setting a switch or number line sets
    StagedText Config::*text; // the setting a text line sets
    const char *complaint;    // reported when the argument is missing or too long
};

void problem(const LineContext &cx, const char *msg) {
    fileContentError(cx.state, cx.user, cx.line, cx.lineno, msg);
}

// "yes" or any prefix of it, or exactly "no"; anything else is neither.
enum class Answer { YES, NO, OTHER };

Answer yesOrNo(const char *word) {
    if (wordMinCmp(word, "yes", 1) == 0) return Answer::YES;
    if (wordCmp(word, "no") == 0) return Answer::NO;
    return Answer::OTHER;
}

// A yes/no switch; any other word leaves it unchanged, silently.
int setSwitch(const LineContext &cx, const Keyword &keyword) {
    if (!cx.arg) {
        problem(cx, keyword.complaint);
        return 1;
    }
    const Answer answer = yesOrNo(cx.arg);
    if (answer != Answer::OTHER) cx.config.*keyword.number = answer == Answer::YES;
    return 1;
}

// wizinmemberrooms: switching it on tells everyone connected, once the load
// has succeeded.
int setWizInMemberRooms(const LineContext &cx, const Keyword &keyword) {
    if (cx.arg && yesOrNo(cx.arg) == Answer::YES && !cx.config.wizInMemberRooms)
        ++cx.config.noticesDue;
    return setSwitch(cx, keyword);
}

// "off" (or a prefix of it) is -1, anything else is read as a number.
int setOffOrNumber(const LineContext &cx, const Keyword &keyword) {
    if (!cx.arg) {
        problem(cx, keyword.complaint);
        cx.config.*keyword.number = -1;
        return 1;
    }
    const char *end = nullptr;
    cx.config.*keyword.number = wordMinCmp(cx.arg, "off", 1) == 0 ? -1 : readNumber(cx.arg, &end);
    return 1;
}

// A plain number; none is 0.
int setNumber(const LineContext &cx, const Keyword &keyword) {
    const char *end = nullptr;
    cx.config.*keyword.number = cx.arg ? readNumber(cx.arg, &end) : 0;
    return 1;
}

// Replaces a text setting with the rest of the line, at most `longest`
// characters; "off" as first word (when offWord) or nothing leaves none.
int setText(const LineContext &cx, const Keyword &keyword, int longest, bool offWord) {
    StagedText &staged = cx.config.*keyword.text;
    disposeAndClear(staged.text); // an earlier line's text; the one in force stays
    staged.replaced = true;
    if (!cx.arg || (offWord && wordCmp(cx.arg, "off") == 0)) return 1;
    if (std::strlen(cx.arg) > static_cast<size_t>(longest)) {
        problem(cx, keyword.complaint);
        return 1;
    }
    staged.text = copyText(cx.arg);
    return staged.text ? 1 : outOfMemory(cx.user, keyword.word);
}

int setPicture(const LineContext &cx, const Keyword &keyword) {
    return setText(cx, keyword, MAX_PICTURE_NAME, true);
}

int setResponse(const LineContext &cx, const Keyword &keyword) {
    return setText(cx, keyword, MAX_TEXT_SETTING, false);
}

// ------------------------------------------------------- announcements

// Seconds from now to hh:mm:ss today, or tomorrow when that has passed; -1
// when the time cannot be represented or lies beyond a timer's reach.
long long secondsUntil(int32_t hours, int32_t minutes, int32_t seconds) {
    const time_t now = std::time(nullptr);
    struct tm when;
    if (!localtime_r(&now, &when)) return -1;
    when.tm_hour = hours;
    when.tm_min = minutes;
    when.tm_sec = seconds;
    const time_t due = std::mktime(&when);
    if (due == static_cast<time_t>(-1)) return -1;
    long long delay = static_cast<long long>(std::difftime(due, now));
    if (delay < 0) delay += 86400;
    if (delay < 0) delay = (delay % 86400 + 86400) % 86400; // hours written below zero
    return delay <= INT32_MAX ? delay : -1;
}

// autoannounce hh:mm:ss message: a daily announcement, armed once the load
// has succeeded.
int addAnnouncement(const LineContext &cx, const Keyword &) {
    const char *timeWord = cx.arg;
    if (!timeWord || wordLength(timeWord) != 8) {
        problem(cx, "autoannounce time missing or not hh:mm:ss - autoannounce ignored");
        return 1;
    }
    const char *p = timeWord;
    const int32_t hours = readNumber(p, &p);
    if (*p == ':') ++p;
    const int32_t minutes = readNumber(p, &p);
    if (*p == ':') ++p;
    const int32_t seconds = readNumber(p, &p);
    const long long delay = *p == ' ' ? secondsUntil(hours, minutes, seconds) : -1;
    if (delay < 0) {
        problem(cx, "autoannounce time not hh:mm:ss - autoannounce ignored");
        return 1;
    }
    const char *message = nextWord(p);
    if (!message) {
        problem(cx, "autoannounce message missing - autoannounce ignored");
        return 1;
    }
    const size_t length = std::strlen(message);
    if (length > static_cast<size_t>(MAX_TEXT_SETTING)) {
        problem(cx, "autoannounce message longer than 250, ignored");
        return 1;
    }
    auto *announce = newZeroed<AutoAnnounce>(length + 1);
    auto *event = newZeroed<TimerEvent>();
    if (!announce || !event) {
        DisposePtr(announce);
        DisposePtr(event);
        return outOfMemory(cx.user, "autoannounce");
    }
    std::memcpy(announce->time, timeWord, 8);
    std::memcpy(announce->message(), message, length + 1);
    announce->event = event;
    announce->firstDelay = static_cast<int32_t>(delay);
    event->action = TA_ANNOUNCE;
    event->param = announce;
    announce->next = cx.config.autoannounce;
    cx.config.autoannounce = announce;
    return 1;
}

// -------------------------------------------------------------- setrank

// setrank command rank [targetrank]: new ranks for a command row, written
// into the table once the load has succeeded.
int applySetrank(const LineContext &cx, const Keyword &) {
    if (!cx.arg) {
        problem(cx, "setrank: command name missing - setrank ignored");
        return 1;
    }
    CmdTable *row = findCommand(cx.state, cx.arg);
    if (!row) {
        problem(cx, "setrank: command not a kestrom command - setrank ignored");
        return 1;
    }
    const char *rankWord = followingWord(cx.arg);
    if (!rankWord) {
        problem(cx, "setrank: user rank missing - setrank ignored");
        return 1;
    }
    const int rank = getRank(rankWord);
    if (rank < 0) {
        problem(cx, "setrank: user rank not valid - setrank ignored");
        return 1;
    }
    RankOverride &override = cx.config.ranks[row - cmdTable];
    int targetRank = override.set ? override.targetRank : row->targetRank;
    if (const char *targetWord = followingWord(rankWord)) {
        if (targetRank == RANK_DISABLE) {
            problem(cx, "setrank: command can not be targeted - setrank ignored");
            return 1;
        }
        targetRank = getRank(targetWord);
        if (targetRank < 0) {
            problem(cx, "setrank: target rank not valid - setrank ignored");
            return 1;
        }
    }
    const size_t length = std::strlen(cx.line);
    auto *stored = newZeroed<StringList>(length + 1);
    if (!stored) return outOfMemory(cx.user, "setrank");
    std::memcpy(stored->string(), cx.line, length + 1);
    stored->next = cx.config.setranks;
    cx.config.setranks = stored;
    override = {rank, targetRank, true};
    return 1;
}

// ------------------------------------------------------------ keywords

// The keywords, in the order they are tried; any other first word names a
// parameter.
constexpr Keyword theKeywords[] = {
    {"mroombg",          setPicture,          nullptr,                    &Config::mRoomBG,        "Picture file name longer than 31, mroombg set off"},
    {"wizinmemberrooms", setWizInMemberRooms, &Config::wizInMemberRooms,  nullptr,                 "wizinmemberrooms not yes or no - ignored"},
    {"rownerinroom",     setSwitch,           &Config::rownerInRoom,      nullptr,                 "rownerinroom not yes or no - ignored"},
    {"memberrwho",       setSwitch,           &Config::memberRWho,        nullptr,                 "memberrwho not yes or no - ignored"},
    {"rtakedelay",       setOffOrNumber,      &Config::rTakeDelay,        nullptr,                 "rtakedelay not off or a number - rtake disabled"},
    {"mroomdiscipline",  setOffOrNumber,      &Config::mroomdiscipline,   nullptr,                 "mroomdiscipline not off or a number - member discipline commands disabled"},
    {"gpagelength",      setNumber,           &Config::gpageLengthLimit,  nullptr,                 nullptr},
    {"pagelength",       setNumber,           &Config::pageLengthLimit,   nullptr,                 nullptr},
    {"gpageresponse",    setResponse,         nullptr,                    &Config::gpageResponse,  "gpageresponse message longer than 250, ignored"},
    {"pageresponse",     setResponse,         nullptr,                    &Config::pageResponse,   "pageresponse message longer than 250, ignored"},
    {"autoannounce",     addAnnouncement,     nullptr,                    nullptr,                 nullptr},
    {"setrank",          applySetrank,        nullptr,                    nullptr,                 nullptr},
    {"guestwiz",         setSwitch,           &Config::guestWiz,          nullptr,                 "guestwiz not yes or no - ignored"},
};

constexpr LetterTable theKeywordTable = letterTable(theKeywords);
static_assert(theKeywordTable.sound);

// The keyword that the word of `length` characters at `word` is, or null.
const Keyword *findKeyword(const char *word, int32_t length) {
    return lookUp(theKeywordTable, theKeywords, word, length);
}

// The registry's names as the loader looks them up: each row's name length
// and folded first letter side by side, up to the first row without a name.
class ParameterNames {
  public:
    ParameterNames() {
        for (const ParameterTable &row : parameterTable) {
            if (!row.name) break;
            keys_[rows_++] = key(std::strlen(row.name), row.name[0]);
        }
    }
    // The row named by the word of `length` characters at lp, or null: the
    // first in index order.
    const ParameterTable *find(const char *lp, int32_t length) const {
        const uint32_t wanted = key(static_cast<size_t>(length), lp[0]);
        for (int32_t i = 0; i < rows_; ++i)
            if (keys_[i] == wanted && isWord(lp, length, parameterTable[i].name)) return &parameterTable[i];
        return nullptr;
    }

  private:
    static uint32_t key(size_t length, char first) {
        return static_cast<uint32_t>(length < 0xFFFFFF ? length : 0xFFFFFF) << 8 |
               static_cast<unsigned char>(foldCase(first));
    }
    uint32_t keys_[NBR_PARAMETERS + 1];
    int32_t rows_ = 0;
};

int buildRule(MyState *state, Config &config, const ParameterNames &names, ServerUserRec *user,
              const char *lp, int32_t length, int lineno, const char *line, const char *lineEnd);

// One line that holds a word: a keyword line or a rule line.
int takeLine(MyState *state, Config &config, const ParameterNames &names, ServerUserRec *user,
             const char *line, const char *lineEnd, int lineno, const char *first) {
    const int32_t length = lengthOfWord(first);
    if (const Keyword *keyword = findKeyword(first, length)) {
        const LineContext cx{state, config, user, line, lineno, firstWord(first + length)};
        return keyword->handle(cx, *keyword);
    }
    return buildRule(state, config, names, user, first, length, lineno, line, lineEnd);
}

// Opens the parameter file for reading: its descriptor, or -1 with errno
// set.  Only a regular file (links followed) is read: a directory is
// refused with EISDIR, anything else (a FIFO, a device, a socket) with
// EINVAL.  The open never waits for a writer, and the file checked is the
// one opened.
int openParameterFile(const char *path) {
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat info;
    int refusal = 0;
    if (fstat(fd, &info) != 0)
        refusal = errno;
    else if (!S_ISREG(info.st_mode))
        refusal = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    if (refusal) {
        close(fd);
        errno = refusal;
        return -1;
    }
    return fd;
}

// Reports a file that cannot be opened or read.
void reportFileError(ServerUserRec *user, const char *what, int err, const char *path) {
    char text[PATH_REPORT_SIZE];
    std::snprintf(text, sizeof text, "%s failed %s, errno=%d, on file %s", what, std::strerror(err),
                  err, path);
    FormattedLogMessage(user, LOG_TAG, "%s", text);
    if (user) UserPrivateMessage(user, "%s", text);
}

// Reads every line of f; 0 when the load must fail (already reported).
int readLines(MyState *state, Config &config, ServerUserRec *user, int fd, const char *path) {
    ParameterLines lines(fd);
    const ParameterNames names;
    int lineno = 0;
    size_t length = 0;
    bool complete = false;
    while (const char *line = lines.next(&length, &complete)) {
        ++lineno;
        if (!complete) {
            char text[PATH_REPORT_SIZE];
            std::snprintf(text, sizeof text, "Line %d in file %s too long", lineno, path);
            reportLoadFailure(user, text);
            return 0;
        }
        const char *first = firstWord(line);
        if (!first || *first == '#') continue;
        if (!takeLine(state, config, names, user, line, line + length, lineno, first)) return 0;
    }
    if (lines.failed()) {
        reportFileError(user, "Read", lines.error() ? lines.error() : EIO, path);
        return 0;
    }
    return 1;
}

}  // namespace

// ------------------------------------------------------------ the loader

int loadParameterFile(MyState *state, ServerUserRec *user) {
    if (state->argc < 2 || !state->argv || !state->argv[1]) {
        FormattedLogMessage(nullptr, LOG_TAG, "%s", "Usage: ../bin/kestrom.so parameter-file");
        return 0;
    }
    const char *path = state->argv[1];
    const int fd = openParameterFile(path);
    if (fd < 0) {
        reportFileError(user, "Open", errno, path);
        return 0;
    }
    Config config;
    startConfig(config, state);
    const int loaded = readLines(state, config, user, fd, path);
    close(fd);
    if (!loaded) {
        discardConfig(config);
        return 0;
    }
    // The chains were built in lookup order (ChainInProgress): what
    // sortTypeLimits would do to newest-first chains is already done.
    commitConfig(config, state);
    forgetRuleChoices(state);
    showParameters(state, user, 1);
    return 1;
}

void ParameterLines::refill() {
    std::memmove(block_, block_ + at_, end_ - at_);
    end_ -= at_;
    at_ = 0;
    const size_t wanted = BLOCK - end_;
    size_t got = 0;
    if (f_) {
        got = std::fread(block_ + end_, 1, wanted, f_);
        if (got < wanted && std::ferror(f_)) {
            failed_ = true;
            error_ = errno;
        }
    } else {
        // Until the block is full, the file ends or reading fails.
        while (got < wanted) {
            const ssize_t n = read(fd_, block_ + end_ + got, wanted - got);
            if (n > 0) {
                got += static_cast<size_t>(n);
            } else if (n == 0) {
                break;
            } else if (errno != EINTR) {
                failed_ = true;
                error_ = errno;
                break;
            }
        }
    }
    end_ += got;
    if (got < wanted) ended_ = true;
    findNul();
}

void ParameterLines::findNul() {
    const void *nul = std::memchr(block_ + at_, '\0', end_ - at_);
    nul_ = nul ? static_cast<size_t>(static_cast<const char *>(nul) - block_) : end_;
}

// The rules of readline below, over the bytes in the block: a line is what
// one fgets call would take (up to 299 characters, through a newline), and
// the block always holds one character beyond it unless the file ends.
char *ParameterLines::next(size_t *length, bool *complete) {
    constexpr size_t MOST = PARAM_LINE_SIZE - 1; // what fgets takes at most
    if (end_ - at_ <= MOST && !ended_) refill();
    if (failed_ || at_ == end_) return nullptr;
    const size_t start = at_;
    char *line = block_ + start;
    const size_t held = end_ - start;
    size_t text = 0;
    if (const auto *newline = static_cast<const char *>(std::memchr(line, '\n', held < MOST ? held : MOST))) {
        const size_t taken = static_cast<size_t>(newline - line);
        at_ += taken + 1;
        text = taken > 0 && line[taken - 1] == '\r' ? taken - 1 : taken;
        *complete = true;
    } else if (held > MOST) {
        // The buffer full without a newline, and the one more character
        // read: only a CR and then a LF end the line.
        at_ += MOST + 1;
        text = MOST - 1;
        *complete = line[MOST - 1] == '\r' && line[MOST] == '\n';
    } else {
        // The file's last line, without a newline: one when it is short
        // enough (a CR at its end dropped).
        at_ = end_;
        text = held - (line[held - 1] == '\r');
        *complete = text < MOST - 1;
    }
    if (nul_ < start + text) text = nul_ - start; // a NUL ends the text
    if (nul_ < at_) findNul();
    line[text] = '\0';
    *length = text;
    return line;
}

// Reads up to maxlen - 1 characters or through the next newline.  One CR
// right before the newline is dropped and not counted: a line ending in
// CR LF reads as one ending in LF.  A last line without a newline gets one
// when it is short enough; a line that still has no newline is too long.  A
// NUL byte ends the line's text (what follows it up to the newline is
// dropped), so the text is always a string.
char *readline(char *line, int maxlen, FILE *f) {
    if (maxlen < 3) return nullptr;
    // Filled with newlines first, the buffer's last NUL is the one fgets
    // writes after the text, whatever NULs the text itself holds.
    std::memset(line, '\n', static_cast<size_t>(maxlen));
    if (!std::fgets(line, maxlen, f)) return nullptr;
    int length = static_cast<int>(
        static_cast<const char *>(memrchr(line, '\0', static_cast<size_t>(maxlen))) - line);
    if (length == 0) return nullptr;
    bool hasNewline = line[length - 1] == '\n';
    bool addNewline = false;
    if (hasNewline) {
        if (length >= 2 && line[length - 2] == '\r') {
            line[length - 2] = '\n';
            --length;
        }
    } else {
        // Without a newline the buffer is full or the file has ended.
        const bool endsInCR = line[length - 1] == '\r';
        const int next = std::getc(f);
        if (endsInCR && next == '\n') {
            line[length - 1] = '\n'; // the buffer filled up right before the LF
            hasNewline = true;
        } else if (next == EOF && length - endsInCR < maxlen - 2) {
            length -= endsInCR;
            addNewline = true;
        }
    }
    if (const void *nul = std::memchr(line, '\0', static_cast<size_t>(length))) {
        length = static_cast<int>(static_cast<const char *>(nul) - line);
        if (hasNewline) line[length++] = '\n';
    }
    if (addNewline) line[length++] = '\n';
    line[length] = '\0';
    return line;
}

int getRank(const char *cp) {
    struct RankWord {
        const char *word;
        int rank;
    };
    static constexpr RankWord theRankWords[] = {
        {"guest", RANK_GUEST}, {"member", RANK_MEMBER}, {"wizard", RANK_WIZARD},
        {"operator", RANK_WIZARD}, {"god", RANK_GOD}, {"owner", RANK_GOD},
        {"disable", RANK_DISABLE},
    };
    for (const RankWord &rankWord : theRankWords)
        if (wordCmp(cp, rankWord.word) == 0) return rankWord.rank;
    const int32_t number = getUint(cp);
    return number >= RANK_GUEST && number <= RANK_DISABLE ? number : -1;
}

// The host formats the report: msg and the line are only ever arguments.
void fileContentError(MyState *, ServerUserRec *user, const char *line, int lineno,
                      const char *msg) {
    constexpr const char *REPORT = "Problem %s in line %d of parameter file: %.100s";
    FormattedLogMessage(user, LOG_TAG, REPORT, msg, lineno, line);
    if (user) UserPrivateMessage(user, REPORT, msg, lineno, line);
}

// ------------------------------------------------------------ rule lines

namespace {

// A bare parameter name: the built-in default when there is one (*keep).
// The built-in defaults carry no text, so there is nothing to copy.
int takeDefault(MyState *state, ServerUserRec *user, const ParameterTable &row, int lineno,
                const char *line, LimitValue *rule, bool *keep) {
    char msg[MESSAGE_SIZE];
    const LimitValue *proto = row.defaultValue;
    std::snprintf(msg, sizeof msg, proto ? "No %s data specified, default used"
                                         : "No %s data specified, entry ignored", row.name);
    fileContentError(state, user, line, lineno, msg);
    *keep = proto != nullptr;
    if (!proto) return 1;
    rule->maximum = proto->maximum;
    rule->decay = proto->decay;
    rule->roomsChecked = proto->roomsChecked;
    return 1;
}

// The values after the parameter name, read by the row's paramMask.  0 when
// memory ran out (reported).
int readRuleValues(MyState *state, Config &config, ServerUserRec *user, const ParameterTable &row,
                   int lineno, const char *line, const char *lineEnd, const char *cp, LimitValue *rule) {
    if (row.paramMask & PM_MAXIMUM) {
        rule->maximum = static_cast<uint32_t>(readNumber(cp, &cp));
        cp = firstWord(cp);
    }
    if (cp && (row.paramMask & PM_ROOM)) {
        if (wordCmp(cp, "currentroom") == 0) {
            rule->maximum = 0;
            cp += lengthOfWord(cp);
        } else {
            rule->maximum = static_cast<uint32_t>(readNumber(cp, &cp));
        }
        cp = firstWord(cp);
    }
    if (cp && (row.paramMask & PM_DECAY)) {
        rule->decay = readReal(cp, &cp, config.pointIsDot);
        cp = firstWord(cp);
    }
    if (row.paramMask & PM_STRING) {
        if (cp && !(rule->string = copyText(cp, static_cast<size_t>(lineEnd - cp))))
            return outOfMemory(user, "LimitValue");
        return 1;
    }
    return isWhereCheckedOK(state, config, user, line, lineno, cp ? cp : "", rule);
}

// A rule line whose parameter name at lp is `length` characters long.
int buildRule(MyState *state, Config &config, const ParameterNames &names, ServerUserRec *user,
              const char *lp, int32_t length, int lineno, const char *line, const char *lineEnd) {
    LimitValue *rule = newZeroed<LimitValue>();
    if (!rule) return outOfMemory(user, "LimitValue");
    rule->line = lineno;
    const ParameterTable *row = names.find(lp, length);
    if (!row) {
        DisposePtr(rule);
        fileContentError(state, user, line, lineno, "unrecognizable parameter name, ignored");
        return 1;
    }
    const char *cp = firstWord(lp + length);
    bool keep = true;
    const int ok = cp ? readRuleValues(state, config, user, *row, lineno, line, lineEnd, cp, rule)
                      : takeDefault(state, user, *row, lineno, line, rule, &keep);
    if (!ok || !keep) {
        freeRule(rule);
        return ok;
    }
    config.limits[row->index].add(rule);
    return 1;
}

}  // namespace

int buildLimitValue(MyState *state, Config &config, ServerUserRec *user, const char *lp,
                    int lineno, const char *line) {
    return buildRule(state, config, ParameterNames(), user, lp, lengthOfWord(lp), lineno, line,
                     line + std::strlen(line));
}

// ------------------------------------------------------- room selection

namespace {

// A word of a room selection and what it does to roomsChecked.  Only the
// word altmember itself makes rlimit available ("all" adds the bit alone).
struct RoomWord {
    const char *word;
    int32_t adds;
    bool clears;
    bool offersRlimit;
};

constexpr RoomWord theRoomWords[] = {
    {"all",       RC_ALL,       false, false},
    {"nowhere",   0,            true,  false},
    {"off",       0,            true,  false},
    {"public",    RC_PUBLIC,    false, false},
    {"private",   RC_PRIVATE,   false, false},
    {"member",    RC_MEMBER,    false, false},
    {"altmember", RC_ALTMEMBER, false, true},
    {"limbo",     RC_LIMBO,     false, false},
    {"warn",      RC_WARN,      false, false},
};

constexpr LetterTable theRoomWordTable = letterTable(theRoomWords);
static_assert(theRoomWordTable.sound);

// The room word of `length` characters at `word`, or null.
const RoomWord *findRoomWord(const char *word, int32_t length) {
    return lookUp(theRoomWordTable, theRoomWords, word, length);
}

// rmN or rmN-M (lower-case "rm"): a new range at the head of the rule's list.
int addRoomRange(ServerUserRec *user, const char *word, LimitValue *limit) {
    auto *range = newZeroed<RoomNumbers>();
    if (!range) return outOfMemory(user, "RoomNumber");
    const char *p = word + 2;
    range->low = range->high = readNumberInWord(p, &p);
    if (*p == '-') range->high = readNumberInWord(p + 1, &p);
    range->next = limit->roomNumbers;
    limit->roomNumbers = range;
    return 1;
}

// "Unrecognized room type \"word\", ignored", the word cut to its first 29
// characters.
void complainRoomType(MyState *state, ServerUserRec *user, const char *line, int lineno,
                      const char *word, int32_t length) {
    constexpr char HEAD[] = "Unrecognized room type \"", TAIL[] = "\", ignored";
    const size_t shown = length < ROOM_TYPE_SHOWN ? static_cast<size_t>(length) : ROOM_TYPE_SHOWN;
    char msg[sizeof HEAD + ROOM_TYPE_SHOWN + sizeof TAIL];
    char *at = msg;
    std::memcpy(at, HEAD, sizeof HEAD - 1);
    at += sizeof HEAD - 1;
    std::memcpy(at, word, shown);
    at += shown;
    std::memcpy(at, TAIL, sizeof TAIL);
    fileContentError(state, user, line, lineno, msg);
}

}  // namespace

int isWhereCheckedOK(MyState *state, Config &config, ServerUserRec *user, const char *line,
                     int lineno, const char *typeList, LimitValue *limit) {
    int32_t checked = 0;
    for (const char *word = firstWord(typeList); word;) {
        const int32_t length = lengthOfWord(word);
        if (word[0] == 'r' && word[1] == 'm') {
            if (!addRoomRange(user, word, limit)) return 0;
        } else if (const RoomWord *known = findRoomWord(word, length)) {
            checked = known->clears ? 0 : checked | known->adds;
            if (known->offersRlimit) config.altMemberActive = 1;
        } else {
            complainRoomType(state, user, line, lineno, word, length);
        }
        word = firstWord(word + length);
    }
    limit->roomsChecked = checked;
    return 1;
}

// Rules with room ranges first, in chain order (the later line first); then
// the others in file order (the earlier line first).
void sortTypeLimits(ServerUserRec *, MyState *state) {
    for (LimitValue *&chain : state->limits) {
        LimitValue *ranged = nullptr, **rangedTail = &ranged;
        LimitValue *plain = nullptr;
        for (LimitValue *rule = chain; rule;) {
            LimitValue *next = rule->next;
            if (rule->roomNumbers) {
                rule->next = nullptr;
                *rangedTail = rule;
                rangedTail = &rule->next;
            } else {
                rule->next = plain; // reversing puts them back in file order
                plain = rule;
            }
            rule = next;
        }
        *rangedTail = plain;
        chain = ranged;
    }
    forgetRuleChoices(state);
}

}  // namespace kestrom
