// editor.cpp - the libedit line source: prompts, history, tab completion.
#include "sim/console/editor.h"

#ifdef KESTROM_LINE_EDITING

#include "sim/console/completion.h"
#include "sim/session.h"

#include <histedit.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

namespace kestrom::sim::console {

namespace {

constexpr int HISTORY_SIZE = 1000;
constexpr size_t LISTING_WIDTH = 78;

class Editor : public LineSource {
public:
    explicit Editor(std::string historyPath);
    ~Editor() override;
    Editor(const Editor &) = delete;
    Editor &operator=(const Editor &) = delete;

    bool read(std::string &line, bool more) override;
    bool interactive() const override { return true; }
    void attach(const Session *session) override { session_ = session; }

private:
    static Editor &of(EditLine *el);
    static char *prompt(EditLine *el);
    static unsigned char complete(EditLine *el, int);

    void remember(const std::string &line);
    void list(const std::vector<std::string> &candidates) const;

    EditLine *el_ = nullptr;
    History *history_ = nullptr;
    HistEvent event_{};
    std::string historyPath_;
    bool historyFailed_ = false;
    bool more_ = false;
    const Session *session_ = nullptr;
};

Editor::Editor(std::string historyPath) : historyPath_(std::move(historyPath)) {
    history_ = history_init();
    history(history_, &event_, H_SETSIZE, HISTORY_SIZE);
    history(history_, &event_, H_SETUNIQUE, 1);
    if (!historyPath_.empty()) history(history_, &event_, H_LOAD, historyPath_.c_str()); // none yet is fine
    el_ = el_init("kestrom-sim", stdin, stdout, stderr);
    el_set(el_, EL_CLIENTDATA, this);
    el_set(el_, EL_EDITOR, "emacs");
    el_set(el_, EL_SIGNAL, 1);
    el_set(el_, EL_PROMPT, &Editor::prompt);
    el_set(el_, EL_HIST, history, history_);
    // The wide form keeps the (static) names as given; the narrow one copies
    // them and never frees the copies.
    el_wset(el_, EL_ADDFN, L"kestrom-complete", L"complete a verb, a user, a room or a chat command",
            &Editor::complete);
    el_set(el_, EL_BIND, "^I", "kestrom-complete", nullptr);
    el_source(el_, nullptr); // the user's ~/.editrc, when there is one
}

Editor::~Editor() {
    el_end(el_);
    history_end(history_);
}

Editor &Editor::of(EditLine *el) {
    void *self = nullptr;
    el_get(el, EL_CLIENTDATA, &self);
    return *static_cast<Editor *>(self);
}

char *Editor::prompt(EditLine *el) {
    static char directive[] = "kestrom> ";
    static char blockLine[] = "  ...  > ";
    return of(el).more_ ? blockLine : directive;
}

bool Editor::read(std::string &line, bool more) {
    more_ = more;
    std::cout.flush();
    int count = 0;
    const char *text = el_gets(el_, &count);
    if (!text || count <= 0) return false;
    line.assign(text, static_cast<size_t>(count));
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    remember(line);
    return true;
}

// Enters a line into the history and keeps the file up to date; a file
// that cannot be written is reported once, and the console goes on.
void Editor::remember(const std::string &line) {
    if (line.find_first_not_of(" \t") == std::string::npos) return;
    history(history_, &event_, H_ENTER, line.c_str());
    if (historyPath_.empty() || historyFailed_) return;
    errno = 0;
    if (history(history_, &event_, H_SAVE, historyPath_.c_str()) >= 0) return;
    historyFailed_ = true;
    std::cerr << "kestrom-sim: cannot keep the history in " << historyPath_ << " ("
              << (errno ? std::strerror(errno) : "write failed") << "); going on without\n";
}

void Editor::list(const std::vector<std::string> &candidates) const {
    std::string text = "\n";
    size_t column = 0;
    for (const std::string &c : candidates) {
        if (column > 0 && column + c.size() + 2 > LISTING_WIDTH) {
            text += '\n';
            column = 0;
        }
        text += (column ? "  " : "") + c;
        column += c.size() + (column ? 2 : 0);
    }
    text += '\n';
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
}

// Tab: one candidate is filled in whole, several as far as they agree;
// when they agree no further than typed, they are listed.
unsigned char Editor::complete(EditLine *el, int) {
    Editor &self = of(el);
    if (!self.session_) return CC_REFRESH_BEEP;
    const LineInfo *info = el_line(el);
    const std::string before(info->buffer, info->cursor);
    const std::vector<std::string> candidates = completions(before, wordsOf(*self.session_));
    if (candidates.empty()) return CC_REFRESH_BEEP;
    std::string insert = commonPrefix(candidates).substr(partialWord(before).size());
    if (candidates.size() == 1) insert += ' ';
    if (!insert.empty()) return el_insertstr(el, insert.c_str()) == 0 ? CC_REFRESH : CC_REFRESH_BEEP;
    self.list(candidates);
    return CC_REDISPLAY;
}

}  // namespace

bool lineEditingBuilt() { return true; }

std::unique_ptr<LineSource> openEditor(const std::string &historyPath) {
    return std::make_unique<Editor>(historyPath);
}

}  // namespace kestrom::sim::console

#else  // built without libedit

namespace kestrom::sim::console {

bool lineEditingBuilt() { return false; }
std::unique_ptr<LineSource> openEditor(const std::string &) { return nullptr; }

}  // namespace kestrom::sim::console

#endif
