// web_test.cpp - the playground's own rules: which requests the guard lets
// through, which names the folder resolves, how the checker's findings and
// the page's requests are read.  (The page itself: playground.test.mjs.)
#include "tools/web/actions.h"
#include "tools/web/checker.h"
#include "tools/web/folder.h"
#include "tools/web/guard.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using namespace kestrom::web;
using nlohmann::json;

TEST(WebGuard, AdmitsItsOwnHostAndPageOnly) {
    const Guard guard(8017);
    struct Case {
        const char *host, *origin;
        bool admitted;
    };
    const Case cases[] = {
        {"127.0.0.1:8017", "", true},
        {"localhost:8017", "http://localhost:8017", true},
        {"LOCALHOST:8017", "http://127.0.0.1:8017", true},
        {"127.0.0.1:8017", "http://127.0.0.1:8017", true},
        {"", "", false},                                   // no Host
        {"127.0.0.1:8018", "", false},                     // another port
        {"evil.example:8017", "", false},                  // a name that resolves here (rebinding)
        {"127.0.0.1", "", false},
        {"127.0.0.1:8017", "http://evil.example", false},  // another site
        {"127.0.0.1:8017", "http://127.0.0.1:9999", false},
        {"127.0.0.1:8017", "https://127.0.0.1:8017", false},
        {"127.0.0.1:8017", "null", false},                 // a sandboxed or local page
        {"127.0.0.1:8017", "http://127.0.0.1:8017.evil.example", false},
    };
    for (const Case &c : cases) {
        std::string why;
        EXPECT_EQ(guard.admits(c.host, c.origin, why), c.admitted) << c.host << " / " << c.origin;
        EXPECT_EQ(why.empty(), c.admitted) << c.host << " / " << c.origin;
    }
}

TEST(WebFolder, ResolvesOnlyNamesInsideItsFolders) {
    char pattern[] = "/tmp/kestrom-web-folder-XXXXXX";
    ASSERT_TRUE(mkdtemp(pattern));
    const fs::path top(pattern), root = top / "play", params = top / "params", outside = top / "secret";
    fs::create_directories(root / "sub");
    fs::create_directories(params);
    fs::create_directories(outside);
    std::ofstream(root / "a.scenario") << "room 1 A\n";
    std::ofstream(outside / "b.scenario") << "room 1 B\n";
    fs::create_symlink(outside / "b.scenario", root / "link.scenario");
    fs::create_directory_symlink(outside, root / "door");
    Folder folder(root);
    folder.allow(params);
    struct Case {
        const char *name;
        bool resolved;
    };
    const Case cases[] = {
        {"a.scenario", true},   {"sub/new.params", true},     {"missing.scenario", true},
        {"", false},            {"/etc/passwd", false},       {"../secret/b.scenario", false},
        {"sub/../a.scenario", false}, {"link.scenario", false}, {"door/b.scenario", false},
    };
    for (const Case &c : cases) {
        std::string why;
        EXPECT_EQ(folder.resolve(c.name, why).has_value(), c.resolved) << c.name;
        EXPECT_EQ(why.empty(), c.resolved) << c.name;
    }
    EXPECT_TRUE(folder.contains(params / "kestrom.params"));
    EXPECT_FALSE(folder.contains(outside / "b.scenario"));
    EXPECT_EQ(folder.scenarios(), std::vector<std::string>{"a.scenario"}); // the link leads outside
    EXPECT_EQ(folder.shown(root / "sub" / "x.params"), "sub/x.params");
    fs::remove_all(top);
}

TEST(WebChecker, ReadsTheFindingsOfItsFile) {
    const std::string output =
        "/tmp/c-1:3:6: error: `five` is not a number: write 5\n"
        "/tmp/c-1:3:1: note: the module installs `chat 0 0 public warn`\n"
        "/tmp/c-1:12:1: warning: a setting given twice: the later wins\n"
        "kestrom-check: /tmp/c-1: cannot load the module\n"
        "/tmp/c-10:1:1: error: another file's\n";
    const std::vector<Finding> found = readFindings(output, "/tmp/c-1");
    ASSERT_EQ(found.size(), 5u);
    EXPECT_EQ(found[0].line, 3);
    EXPECT_EQ(found[0].column, 6);
    EXPECT_EQ(found[0].severity, "error");
    EXPECT_EQ(found[0].text, "`five` is not a number: write 5");
    EXPECT_EQ(found[1].severity, "note");
    EXPECT_EQ(found[2].line, 12);
    EXPECT_EQ(found[2].severity, "warning");
    for (size_t i : {3u, 4u}) { // not about this file: findings of the whole file
        EXPECT_EQ(found[i].line, 0);
        EXPECT_EQ(found[i].severity, "error");
    }
    EXPECT_EQ(found[3].text, "kestrom-check: /tmp/c-1: cannot load the module");
}

TEST(WebActions, WriteTheDirectiveOfEachRequest) {
    struct Case {
        LineMaker make;
        const char *body;
        const char *line; // null: refused
    };
    const Case cases[] = {
        {sayLine, R"({"user":"Alice","text":"hello `find Bob"})", "say Alice hello `find Bob"},
        {sayLine, R"({"user":"Alice","text":"psst","to":"Bob"})", "whisper Alice Bob psst"},
        {sayLine, R"({"user":"Mary Ann","text":""})", "say \"Mary Ann\" "},
        {sayLine, R"({"user":"Alice","text":"two\nlines"})", nullptr},
        {sayLine, R"({"user":"","text":"hi"})", nullptr},
        {sayLine, R"(["Alice","hi"])", nullptr},
        {moveLine, R"({"user":"Alice","x":511,"y":0})", "loc Alice 511 0"},
        {moveLine, R"({"user":"Alice","x":512,"y":0})", nullptr},
        {moveLine, R"({"user":"Alice","x":1.5,"y":0})", nullptr},
        {faceLine, R"({"user":"a\"b","face":12})", "face \"a\\\"b\" 12"},
        {colorLine, R"({"user":"Alice","color":16})", nullptr},
        {dropLine, R"({"user":"Bob","prop":200,"x":10,"y":20})", "drop Bob 200 10 20"},
        {connectLine, R"({"handle":"Frank","rank":2,"room":3})", "user Frank rank=2 room=3"},
        {connectLine, R"({"handle":"Frank","rank":1})", "user Frank rank=1"},
        {connectLine, R"({"handle":"rank=3","rank":0})", nullptr},
        {leaveLine, R"({"user":"Bob"})", "leave Bob"},
        {gotoLine, R"({"user":"Bob","room":2})", "goto Bob 2"},
        {advanceLine, R"({"seconds":60})", "advance 60"},
        {advanceLine, R"({"seconds":-1})", nullptr},
        {directiveLine, R"({"line":"addprop 1 300 20 20"})", "addprop 1 300 20 20"},
        {crowdLine, R"({"count":50,"profile":"chatter","rooms":"1,2","rate":4,"name":"ch"})",
         "crowd 50 chatter rate=4 rooms=1,2 name=ch"},
        {crowdLine, R"({"count":5,"profile":"flooder; stop"})", nullptr},
        {crowdLine, R"({"count":5,"profile":"mover","rooms":"1 rank=3"})", nullptr},
    };
    for (const Case &c : cases) {
        std::string line, error;
        const bool made = c.make(json::parse(c.body), line, error);
        EXPECT_EQ(made, c.line != nullptr) << c.body << ": " << error;
        if (made && c.line) {
            EXPECT_EQ(line, c.line) << c.body;
        }
        EXPECT_EQ(error.empty(), made) << c.body;
    }
}
