// texts.cpp - the word lists and the templates they fill.
#include "sim/crowd/texts.h"

#include <string_view>

namespace kestrom::sim::crowd {

namespace {

constexpr const char *GREETINGS[] = {"hi", "hello", "hey", "evening", "good evening", "yo", "howdy", "hiya"};
constexpr const char *NAMES[] = {"everyone", "all", "folks", "friends", "people", "room", "gang", "you lot"};
constexpr const char *TOPICS[] = {
    "jazz",         "the new mural", "gardening",   "chess",       "old films",     "the harbour",
    "sailing",      "board games",   "poetry",      "the weather", "cooking",       "astronomy",
    "the concert",  "photography",   "bird watching", "knitting",  "the election",  "football",
    "crosswords",   "baking bread",  "trains",      "the festival", "podcasts",     "mountain walks"};
constexpr const char *PLACES[] = {"the market", "work", "the beach", "a long walk", "the library", "my sister's",
                                  "the gym", "the harbour", "a concert", "the dentist", "the shops", "school"};
constexpr const char *THINGS[] = {"music", "lighting", "new props", "paintings", "fountain", "view",
                                  "crowd", "colours", "decor", "sofa", "carpet", "plants"};
constexpr const char *OPINIONS[] = {"I love", "not sure about", "really like", "can't stand", "kind of like",
                                    "who picked", "still getting used to", "big fan of"};
constexpr const char *SHORT[] = {"lol", "brb", "ok", "yes", "no way", "haha", "back", "wb", "same", "true"};
constexpr const char *TIMES[] = {"today", "tonight", "this week", "lately", "again", "at last", "these days", "now"};
constexpr const char *MOODS[] = {"tired", "happy", "bored", "hungry", "sleepy", "cheerful", "busy", "curious"};
// What a line may open with.
constexpr const char *LEADS[] = {"", "", "so ", "well, ", "hmm, ", "ok ", "honestly ", "btw "};

// Templates: %l a lead-in, %g greeting, %n name, %t topic, %p place, %h
// thing, %o opinion, %w time, %m mood, %d a number.
constexpr const char *LINES[] = {
    "%g %n, how is everyone %w?",
    "%lanyone here into %t %w?",
    "%lwhat do you all think about %t?",
    "%lI just got back from %p, feeling %m",
    "%l%o the %h in here",
    "%lfeeling %m %w",
    "%lhas anyone been to %p %w?",
    "%l%t is my favourite thing to talk about %w",
    "%lso, %t... anyone? I am %m",
    "%lI read something about %t %w",
    "%l%o %t, honestly",
    "%lroom %d is quiet %w",
    "%lback from %p, what did I miss?",
    "%lwho else is %m %w?",
    "%lthe %h looks different %w",
    "%lI have %d questions about %t",
    "%lwent to %p and talked about %t",
    "%l%o the %h, and %t too",
    "%lwhere is everyone %w? I am %m",
    "%lis %t still a thing %w?",
};

constexpr const char *PAGES[] = {
    "could an operator come to room %d please, someone is bothering me",
    "hello, is there a wizard around? I cannot find my way back to room %d",
    "please help, my avatar is stuck in room %d",
    "someone keeps flooding room %d, could you have a look",
    "is there an operator who can open room %d for our meeting",
};

constexpr const char *NICKS[] = {"Moonbeam", "Rex", "Juniper", "Captain", "Pixel", "Marlow", "Tansy",
                                 "Quill",    "Otter", "Saffron", "Bramble", "Nimbus", "Kestrel", "Wren"};

void fill(std::string &out, std::string_view pattern, Rng &rng) {
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%' || i + 1 == pattern.size()) {
            out += pattern[i];
            continue;
        }
        switch (pattern[++i]) {
        case 'l': out += rng.pick(LEADS); break;
        case 'g': out += rng.pick(GREETINGS); break;
        case 'n': out += rng.pick(NAMES); break;
        case 't': out += rng.pick(TOPICS); break;
        case 'p': out += rng.pick(PLACES); break;
        case 'h': out += rng.pick(THINGS); break;
        case 'o': out += rng.pick(OPINIONS); break;
        case 'w': out += rng.pick(TIMES); break;
        case 'm': out += rng.pick(MOODS); break;
        case 'd': out += std::to_string(rng.between(1, 99)); break;
        default: out += pattern[i]; break;
        }
    }
}

}  // namespace

std::string chatLine(Rng &rng) {
    if (rng.chance(0.15)) return rng.pick(SHORT);
    std::string line;
    fill(line, rng.pick(LINES), rng);
    return line;
}

std::string pageLine(Rng &rng) {
    std::string line;
    fill(line, rng.pick(PAGES), rng);
    return line;
}

std::string nickname(Rng &rng) {
    std::string name = rng.pick(NICKS);
    name += std::to_string(rng.between(1, 999));
    if (rng.chance(0.1)) return (rng.chance(0.5) ? " " : "*") + name;
    return name;
}

}  // namespace kestrom::sim::crowd
