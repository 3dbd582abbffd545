#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets and their dictionary.

    python3 fuzz/make_seeds.py        (from the top of the tree)

fuzz/corpus/handle_message/: one seed per message type and fault (well
formed, empty, truncated, over-long and negative counts, missing NUL, Pascal
length past the body), chat lines with every command word, a few
conversations, and seeds for every event of the world (each parameter file
at start, at reload and at restart, clock jumps, memory running out from
some point on, each message type with no current user, changes of rank,
flags and host records, rooms made at run time).  fuzz/corpus/parameter_file/: examples/kestrom.params and
variants of it, one per keyword and per fault.  fuzz/kestrom.dict: type
codes, command words, parameter-file keywords and parameter names.

The input layouts are described at the top of fuzz/handle_message.cpp and
fuzz/parameter_file.cpp; the constants below mirror their tables.
"""
import hashlib
import os
import re
import shutil
import struct

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FUZZ = os.path.join(TOP, "fuzz")

RAW_TYPES = ["talk", "rmsg", "gmsg", "whis", "xtlk", "xwis", "navR", "uLoc", "sRom", "down",
             "smsg", "usrN", "regi", "usrF", "usrC", "usrD", "usrP", "nPrp", "mPrp", "dPrp",
             "lock", "unlo", "sSta", "rLst", "uLst", "susr", "draw", "ping", "bye ", "kill",
             "rOpn", "\0\0\0\0"]
LINE_KINDS = ["talk", "whisper", "xtalk", "xwhisper", "rmsg", "gmsg", "page", "name"]
WORLD_KINDS = ["advance", "goto", "leave-or-return", "raw-type", "fail-alloc", "reload", "restart",
               "clock-jump", "fail-from", "no-sender", "rank", "flag", "record", "room"]
# The parameter files of fuzz/parameter_files.h, in order; one more pick is
# the record's string.
FILES = ["example", "strict", "loose", "member-rooms", "broken", "too-long", "missing", "empty"]
FILE_PICKS = FILES + ["string"]
EVERYONE_LEAVES = 0x80
HAL_NAME = "Hal the hidden operator %s %n!!"  # as long as a user name can be
USERS = ["Gus", "Mia", "Bob", "Wanda", "Otto", "Exa", HAL_NAME, "Pia", "Ned", "Zed"]
GUS, MIA, BOB, WANDA, OTTO, EXA, HAL, PIA, NED, ZED = range(10)
ROOM_ARGS = {1: 0, 2: 1, 30: 2, 42: 3, 99: 4, 200: 5, 201: 6, 202: 7}
ROOM_ARGS.update({300 + k: 9 * k + 8 for k in range(8)})  # rooms made at run time
# Record changes (arg % 10) and room flags (bits 3-7 of arg).
RECORD_FIELDS = ["name", "props", "address", "counter", "crc", "owned-room", "position", "face",
                 "esp-sender", "hides"]
R_PRIVATE, R_CLOSED, R_MEMBER, R_NOMEMBERS, R_NOLOOSEPROPS = 0x08, 0x10, 0x20, 0x40, 0x80
# Clock jumps (indexes into CLOCK_JUMPS).
J_BACK_1S, J_BACK_HOUR, J_BACK_DAY, J_BACK_10Y, J_AHEAD_3D, J_AHEAD_10Y, J_EPOCH, J_2038 = 0, 4, 6, 9, 12, 13, 14, 15

COMMANDS = ["chat", "clean", "dress", "er", "find", "gmsg", "goto", "gotoroom", "gpage", "killx",
            "listgag", "move", "myroom", "naked", "namegag", "newroom", "nolooseprops", "pagegag",
            "pdel", "pinx", "kestrom", "propfreeze", "rannounce", "rbanlist", "reset", "rdelete",
            "respond", "rgag", "rkick", "rlimit", "rlockdown", "rmsg", "rnodupavatars",
            "rnolooseprops", "roompage", "roomprefs", "roperatorsonly", "rowner", "rpage", "rpin",
            "rpropfreeze", "rpropgag", "rtake", "rungag", "runkick", "runpin", "runpropgag", "rwho",
            "setcolor", "setface", "setpos", "signoff", "take", "unlistgag", "unnamegag",
            "unpagegag", "userprefs"]
assert len(COMMANDS) == 57

KEYWORDS = ["mroombg", "wizinmemberrooms", "rownerinroom", "memberrwho", "rtakedelay",
            "mroomdiscipline", "gpagelength", "pagelength", "gpageresponse", "pageresponse",
            "autoannounce", "setrank", "guestwiz"]
PARAMETERS = ["zone", "mimick", "avatarzone", "spoof", "take", "godonly", "page", "roompage",
              "gpage", "rpage", "pinx", "reppage", "chat", "repchat", "roommsg", "propdrop",
              "facechange", "move", "slide", "spotstatechange", "avatarchange", "chatgoto",
              "clearlooseprops", "nodupavatars", "namechange", "dupip", "newroom"]
assert len(PARAMETERS) == 27
SELECTIONS = ["all", "nowhere", "off", "public", "private", "member", "altmember", "limbo", "warn",
              "rm", "rm1-5", "currentroom"]
HELP_WORDS = ["help", "user", "mrooms", "rmanaging", "rpermissions", "managing", "permissions",
              "administration", "all"]
# The server's own backquote commands, and pages typed as chat lines.
SERVER_COMMANDS = ["page", "pag", "newroom", "rowner", "rdelete", "rkick", "kill", "rpicture",
                   "banip", "comment", "rscripts", "rpaint", "runkick", "er", "help"]
RANKS = ["guest", "member", "wizard", "operator", "god", "owner", "disable"]


# ------------------------------------------------------------ encodings

def le(fmt, *values):
    return struct.pack("<" + fmt, *values)


def escaped(body):
    """The record string: backslashes doubled, a lone backslash at the end."""
    return body.replace(b"\\", b"\\\\") + b"\\"


def record(sender, kind, arg, body=b""):
    if isinstance(body, str):
        body = body.encode("latin-1")
    return bytes([sender, kind, arg]) + escaped(body)


def raw(sender, type_code, body, arg=0):
    return record(sender, RAW_TYPES.index(type_code), arg, body)


def line(sender, kind, text, target=0):
    return record(sender, len(RAW_TYPES) + LINE_KINDS.index(kind), target, text)


def world(sender, kind, arg, text=b""):
    return record(sender, len(RAW_TYPES) + len(LINE_KINDS) + WORLD_KINDS.index(kind), arg, text)


def record_change(sender, field, value, text=b""):
    return world(sender, "record", RECORD_FIELDS.index(field) + 10 * value, text)


def header(file="example", strict=False, start_time=0):
    return bytes([(FILES.index(file) << 3) | (start_time << 1) | int(strict)])


def encoded(text):
    return bytes(b ^ ((0xA5 + 31 * i) & 0xFF) for i, b in enumerate(text))


def xbody(text, length=None):
    enc = encoded(text)
    return le("H", len(enc) + 3 if length is None else length) + enc + b"\0"


def asset(pid, crc=0):
    return le("iI", pid, crc)


def point(h, v):
    return le("hh", v, h)


def pascal(text, length=None):
    return bytes([len(text) if length is None else length]) + text


def logon(name, length=None, aux=0x80000000):
    rec = bytearray(128)
    rec[0:8] = le("II", 12648430, 900001)
    rec[8] = len(name) if length is None else length
    rec[9:9 + len(name)] = name
    rec[72:76] = le("I", aux)
    return bytes(rec)


# The well-formed body of each type, and its faults.
def message_cases():
    t = b"hello there"
    cases = {
        "talk": [t + b"\0", b"", t, b"\0", b"x" * 300 + b"\0", b"`rgag Bob\0"],
        "rmsg": [t + b"\0", b"", t],
        "gmsg": [t + b"\0", b"", t],
        "whis": [le("I", 3) + t + b"\0", le("H", 3), le("I", 3), le("I", 3) + t,
                 le("I", 0xFFFFFFFF) + t + b"\0", le("I", 3) + b"`kill\0"],
        "xtlk": [xbody(b"hello"), b"", b"\x05", le("H", 2) + b"ab", le("H", 259) + b"ab",
                 le("H", 258) + b"ab", le("H", 0xFFFF), xbody(b"hello")[:-3], xbody(b"`rwho")],
        "xwis": [le("I", 4) + xbody(b"psst"), le("I", 4), le("I", 4) + b"\x01",
                 le("I", 4) + le("H", 258) + b"ab", le("I", 4) + le("H", 2),
                 le("I", 4) + le("H", 0xFFFF) + b"a", le("I", 4) + xbody(b"`pinx Bob")],
        "navR": [le("h", 2), le("h", 200), le("h", 201), le("h", 202), le("h", 99), b"", b"\x01",
                 le("h", -1), le("h", 32767), le("h", 1)],
        "uLoc": [point(200, 150), point(100, 100), b"", b"\x01\x02\x03", point(-1, -1),
                 point(32767, -32768), point(100, 101)],
        "sRom": [b"", b"junk"],
        "down": [b"", b"junk"],
        "smsg": [b"help me please\0", b"", b"no nul here", b"\0", b"x" * 600 + b"\0"],
        "usrN": [pascal(b"Robert"), b"", pascal(b"Robert", 200), pascal(b" *bad  name"),
                 pascal(b"A" * 40), pascal(b"", 0), pascal(b"Mia"), pascal(b"x" * 255)],
        "regi": [logon(b"Guesty"), logon(b"Guesty")[:127], b"", logon(b"x" * 31, 255),
                 logon(b" *odd  name"), logon(b"Guesty", 0)],
        "usrF": [le("h", 5), le("h", 12), le("h", 13), le("h", -1), b"", b"\x05"],
        "usrC": [le("h", 5), le("h", 15), le("h", 16), le("h", -32768), b"", b"\x05"],
        "usrD": [le("hhi", 3, 4, 2) + asset(1001) + asset(1002), le("hhi", 3, 4, 0),
                 le("hhi", 3, 4, 2) + asset(1001), le("hhi", 3, 4, -1) + asset(1001),
                 le("hhi", 3, 4, 0x7FFFFFFF) + asset(1), le("hhi", 3, 4, 0x20000001) + asset(1),
                 le("hhi", 3, 4, 12) + asset(5) * 12, b"", le("hh", 3, 4),
                 le("hhi", 13, 16, 1) + asset(-5)],
        "usrP": [le("i", 2) + asset(1001) + asset(1002), le("i", 0), le("i", 2) + asset(1001),
                 le("i", -1), le("i", -2147483648) + asset(1), le("i", 0x7FFFFFFF) + asset(1),
                 le("i", 0x20000001) + asset(1), le("i", 10) + asset(9) * 10, b"", b"\x01\x00"],
        "nPrp": [asset(501) + point(105, 100), asset(777) + point(400, 300), b"",
                 asset(501) + point(105, 100)[:3], asset(501, 0xFFFFFFFF) + point(-32768, 32767)],
        "mPrp": [le("i", 0) + point(110, 100), le("i", 1) + point(100, 100), le("i", -1) + point(1, 1),
                 le("i", 99) + point(1, 1), le("i", -2147483648) + point(1, 1),
                 le("i", 0x7FFFFFFF) + point(1, 1), b"", le("i", 0)],
        "dPrp": [le("i", 0), le("i", -1), le("i", 99), le("i", -2147483648), le("i", 0x7FFFFFFF),
                 b"", b"\x00\x00\x00"],
        "lock": [le("hh", 1, 1), b"", b"\x01\x00\x01"],
        "unlo": [le("hh", 1, 1), b"", b"\x01"],
        "sSta": [le("hhh", 1, 1, 1), le("hhh", -1, -1, -1), b"", le("hh", 1, 1)],
        "rLst": [b""], "uLst": [b""], "susr": [b"", b"x"],
        "draw": [b"", le("hhHh", 0, 0, 3, 0) + b"\x00" * 8],
        "ping": [b""], "bye ": [b""], "kill": [le("I", 3)], "rOpn": [b""], "\0\0\0\0": [b""],
    }
    return cases


# A chat line for each command, with arguments where it takes them.
def command_lines():
    args = {
        "chat": "hello from you", "dress": "Bob", "find": "Bob", "gmsg": "hi all", "goto": "Mia",
        "gotoroom": "200", "gpage": "help the lobby is on fire", "killx": "bye now",
        "listgag": "Bob", "move": "10 -20", "naked": "Bob", "namegag": "Newname",
        "newroom": "Fuzz Room", "nolooseprops": "on", "pagegag": "Bob", "pinx": "Bob",
        "kestrom": "reload", "propfreeze": "on", "rannounce": "hear ye", "respond": "yes?",
        "rgag": "Bob", "rkick": "Bob", "rlimit": "on", "rmsg": "room wide", "rnodupavatars": "on",
        "rnolooseprops": "on", "roompage": "help in here", "roperatorsonly": "on",
        "rowner": "Bob", "rpage": "owner?", "rpin": "Bob", "rpropfreeze": "on",
        "rpropgag": "Bob", "rungag": "Bob", "runkick": "Bob", "runpin": "Bob",
        "runpropgag": "Bob", "setcolor": "7", "setface": "3", "setpos": "300 200",
        "signoff": "Bob", "take": "Bob", "unlistgag": "Bob", "unnamegag": "Bob",
        "unpagegag": "Bob", "userprefs": "Bob",
    }
    return [(c, "`" + c + (" " + args[c] if c in args else "")) for c in COMMANDS]


def write_corpus(name, seeds):
    where = os.path.join(FUZZ, "corpus", name)
    shutil.rmtree(where, ignore_errors=True)
    os.makedirs(where)
    seen = set()
    for label, data in seeds:
        digest = hashlib.sha1(data).hexdigest()[:10]
        if digest in seen:
            continue
        seen.add(digest)
        label = re.sub(r"[^A-Za-z0-9_-]+", "_", label).strip("_")[:48]
        with open(os.path.join(where, f"{label}-{digest}"), "wb") as f:
            f.write(data)
    return len(seen)


def handle_message_seeds():
    seeds = []
    for code, bodies in message_cases().items():
        for i, body in enumerate(bodies):
            for sender in (MIA, EXA) if i == 0 else (WANDA,):
                label = "type-%s-%d-%s" % (code.strip("\0") or "zero", i, USERS[sender])
                seeds.append((label, b"\x00" + raw(sender, code, body, arg=2)))
    for word, text in command_lines():
        for sender, header in ((OTTO, b"\x00"), (MIA, b"\x01"), (GUS, b"\x00")):
            seeds.append(("cmd-%s-%s" % (word, USERS[sender]),
                          header + line(sender, "talk", text)))
        seeds.append(("cmd-%s-whisper" % word,
                      b"\x00" + line(WANDA, "whisper", text, target=BOB)))
        seeds.append(("cmd-%s-xtalk" % word, b"\x00" + line(MIA, "xtalk", text)))
        if text.endswith(" Bob"):
            long_target = text[:-3] + HAL_NAME
            seeds.append(("cmd-%s-long-name" % word, b"\x00" + line(OTTO, "talk", long_target)
                          + world(HAL, "goto", ROOM_ARGS[42]) + line(OTTO, "talk", long_target)
                          + world(0, "advance", 2)))
    for i, h in enumerate(["`help"] + ["`help " + w for w in HELP_WORDS[1:]] +
                          ["`help rgag", "`help ro", "`help kestrom", "`help nothing", "'help user"]):
        for sender in (GUS, MIA, WANDA):
            seeds.append(("help-%d-%s" % (i, USERS[sender]), b"\x00" + line(sender, "talk", h)))
    for sender in (GUS, BOB, EXA):
        seeds.append(("chat-page-" + USERS[sender], b"\x00" + line(sender, "talk", "`page help me now")
                      + world(0, "advance", 2) + line(sender, "talk", "`pag help me now")
                      + line(sender, "talk", "`page") + line(sender, "talk", "`page hi")))
    for kind in LINE_KINDS:
        seeds.append(("line-" + kind, b"\x00" + line(BOB, kind, "hello everyone", target=MIA)))
    # Conversations: discipline applied by timers, rate rules, room changes,
    # take-over after the owner left, announcements, reload, leaving.
    talk_burst = b"".join(line(BOB, "talk", "spam spam spam") for _ in range(15))
    seeds += [
        ("story-rgag", b"\x00" + line(MIA, "talk", "`rgag Bob") + world(BOB, "goto", ROOM_ARGS[200])
         + world(0, "advance", 1) + line(BOB, "talk", "can you hear me") + world(BOB, "goto", 0)),
        ("story-burst", b"\x01" + talk_burst + world(0, "advance", 9) + talk_burst),
        ("story-rtake", b"\x01" + world(MIA, "leave-or-return", 0) + world(0, "advance", 12)
         + world(BOB, "goto", ROOM_ARGS[200]) + line(BOB, "talk", "`rtake")
         + world(MIA, "leave-or-return", 0) + line(MIA, "talk", "`myroom")),
        ("story-announce", b"\x02" + world(0, "advance", 3) + world(0, "advance", 15)
         + line(OTTO, "talk", "`kestrom reload") + world(0, "advance", 15)),
        ("story-pin", b"\x00" + line(WANDA, "talk", "`pinx Bob") + world(0, "advance", 2)
         + raw(BOB, "uLoc", point(10, 10)) + world(BOB, "goto", ROOM_ARGS[30])
         + world(0, "advance", 2) + line(WANDA, "talk", "`unpagegag Bob")),
        ("story-namegag", b"\x00" + line(WANDA, "whisper", "`namegag Nobody", target=BOB)
         + world(0, "advance", 1) + raw(BOB, "usrN", pascal(b"Robert"))),
        ("story-newroom", b"\x00" + line(PIA, "talk", "`newroom Pia Place")
         + line(GUS, "talk", "`newroom")
         + world(WANDA, "raw-type", 0, b"talk`newroom Wanda World\0")
         + line(WANDA, "talk", "`rdelete")),
        ("story-pages", b"\x00" + raw(GUS, "smsg", b"help me\0") + raw(GUS, "smsg", b"help me\0")
         + line(WANDA, "talk", "`er") + line(GUS, "talk", "`respond thanks")
         + line(MIA, "talk", "`rpage anyone") + line(HAL, "talk", "`respond yes")),
        ("story-props", b"\x01" + raw(MIA, "nPrp", asset(601) + point(52, 50))
         + raw(MIA, "mPrp", le("i", 0) + point(300, 301)) + raw(MIA, "dPrp", le("i", -1))
         + line(MIA, "talk", "`rpropfreeze on") + raw(HAL, "nPrp", asset(9) + point(1, 1))
         + line(OTTO, "talk", "`clean")),
        ("story-no-memory", b"\x00" + b"".join(world(0, "fail-alloc", k) + line(GUS, "talk", "`gpage help me")
                                               + raw(GUS, "smsg", b"page\0") + line(MIA, "talk", "`rgag Bob")
                                               + line(OTTO, "talk", "`kestrom reload")
                                               for k in range(8))),
        ("story-room-sanctions", b"\x01" + line(MIA, "talk", "`rpin Bob") + line(MIA, "talk", "`rpropgag Bob")
         + line(MIA, "talk", "`rkick " + HAL_NAME) + line(MIA, "talk", "`rgag Gus") + line(MIA, "talk", "`rgag Ned")
         + line(MIA, "talk", "`rkick Pia") + line(MIA, "talk", "`rpin Zed")
         + raw(BOB, "navR", le("h", 200)) + world(0, "advance", 2) + raw(HAL, "navR", le("h", 200))
         + line(MIA, "talk", "`rbanlist") + line(BOB, "talk", "I am pinned") + raw(BOB, "usrP", le("i", 0))
         + line(MIA, "talk", "`runpin Bob") + line(MIA, "talk", "`runpropgag Bob")
         + line(MIA, "talk", "`runkick " + HAL_NAME) + world(HAL, "goto", ROOM_ARGS[1]) + raw(HAL, "navR", le("h", 200))
         + world(BOB, "goto", ROOM_ARGS[1]) + world(0, "advance", 2) + raw(BOB, "navR", le("h", 200))
         + world(0, "advance", 2) + line(MIA, "talk", "`rbanlist")),
        ("story-er", b"\x00" + world(GUS, "goto", ROOM_ARGS[201]) + raw(GUS, "smsg", b"help me please\0")
         + line(GUS, "talk", "`page help me please") + world(0, "advance", 2) + line(WANDA, "talk", "`er")
         + world(0, "advance", 2)),
        ("story-respond", b"\x00" + raw(BOB, "navR", le("h", 200)) + line(BOB, "talk", "`rpage hi owner")
         + line(MIA, "talk", "`respond hello Bob") + world(BOB, "goto", ROOM_ARGS[1])
         + line(MIA, "talk", "`respond are you there") + world(MIA, "leave-or-return", 0)
         + line(BOB, "talk", "`rpage hello?") + raw(BOB, "navR", le("h", 200)) + line(BOB, "talk", "`rpage hello?")),
        ("story-chatgoto", b"\x00" + line(WANDA, "whisper", "take me to the lobby", target=EXA)
         + line(BOB, "talk", "costume shop please") + line(BOB, "talk", "where am i")
         + line(GUS, "whisper", "costume shop please", target=BOB)
         + line(WANDA, "whisper", "costume shop please", target=99)),
        ("story-rowner", b"\x00" + line(MIA, "talk", "`rowner Bob") + raw(BOB, "navR", le("h", 200))
         + line(MIA, "talk", "`rowner Bob") + world(0, "advance", 2) + line(MIA, "talk", "`rwho")
         + line(BOB, "talk", "`rowner Mia") + line(BOB, "whisper", "`rowner", target=MIA)
         + world(0, "advance", 2) + line(MIA, "talk", "`myroom")),
        ("story-take-over", b"\x00" + world(WANDA, "goto", ROOM_ARGS[201]) + line(WANDA, "talk", "`rtake")
         + line(WANDA, "talk", "`rwho") + line(WANDA, "talk", "`rpage hi") + world(0, "advance", 13)
         + line(WANDA, "talk", "`rtake") + line(WANDA, "talk", "`rwho")
         + world(MIA, "leave-or-return", 0) + world(BOB, "goto", ROOM_ARGS[200]) + world(0, "advance", 12)
         + line(BOB, "talk", "`rtake") + world(MIA, "leave-or-return", 0) + line(MIA, "talk", "`rdelete")),
        ("story-long-room", b"\x00" + world(BOB, "goto", ROOM_ARGS[42]) + world(WANDA, "goto", ROOM_ARGS[42])
         + line(WANDA, "talk", "`roomprefs") + line(GUS, "talk", "`find Bob") + line(GUS, "talk", "`goto Bob")
         + line(BOB, "talk", "`page lost in a long room") + line(WANDA, "talk", "`er")
         + line(BOB, "talk", "`newroom " + "N" * 300) + line(BOB, "talk", "`rwho")
         + line(BOB, "talk", "`myroom") + line(OTTO, "talk", "`find Bob") + line(OTTO, "talk", "`userprefs Bob")),
        ("story-gags", b"\x00" + line(WANDA, "talk", "`pagegag Gus") + line(WANDA, "talk", "`listgag Gus")
         + world(0, "advance", 1) + raw(GUS, "smsg", b"help\0") + line(GUS, "talk", "`page help me please")
         + line(GUS, "talk", "`gpage help me please now") + line(GUS, "talk", "`roompage help here")
         + raw(GUS, "rLst", b"") + raw(GUS, "uLst", b"") + line(WANDA, "talk", "`unpagegag Gus")
         + line(WANDA, "talk", "`unlistgag Gus") + raw(GUS, "rLst", b"") + line(GUS, "talk", "`find Bob")
         + line(GUS, "whisper", "hi Bob", target=BOB)),
        ("story-switches", b"\x00" + line(OTTO, "talk", "`nolooseprops on") + line(OTTO, "talk", "`nolooseprops off")
         + line(OTTO, "talk", "`propfreeze on") + raw(OTTO, "nPrp", asset(5) + point(9, 9))
         + line(OTTO, "talk", "`propfreeze off") + line(MIA, "talk", "`rlimit on") + line(MIA, "talk", "`rlimit off")
         + line(MIA, "talk", "`rnodupavatars on") + line(MIA, "talk", "`rnodupavatars off")
         + line(MIA, "talk", "`rlockdown") + line(MIA, "talk", "`roperatorsonly on")
         + line(MIA, "talk", "`roperatorsonly off") + line(MIA, "talk", "`rpropfreeze")),
        ("story-leave", b"\x00" + line(MIA, "talk", "`rgag " + HAL_NAME) + world(MIA, "leave-or-return", 0)
         + world(HAL, "leave-or-return", 0) + world(0, "advance", 13)
         + world(HAL, "leave-or-return", 0) + world(MIA, "leave-or-return", 0)),
    ]
    return seeds + world_event_seeds() + corner_seeds()


def world_event_seeds():
    """Seeds for what happens around the messages: other parameter files at
    start, at reload and at restart, clock jumps, memory running out, messages
    with no current user, users and rooms changing at run time."""
    seeds = []
    string_file = (b"chat 1 0 all warn\nsetrank gmsg guest\nautoannounce 12:00:02 from the string\n"
                   b"mroomdiscipline 1\nmove 1 0 altmember\n")
    everyday = (line(GUS, "talk", "hello all") + line(GUS, "talk", "hello all")
                + line(MIA, "talk", "`rlimit on") + line(MIA, "talk", "`rgag Bob")
                + raw(BOB, "navR", le("h", 200)) + line(GUS, "talk", "`gmsg hi")
                + line(WANDA, "talk", "`rwho") + world(0, "advance", 5) + line(BOB, "talk", "in the den"))
    for file in FILES:
        seeds.append(("start-" + file, header(file) + everyday))
    for pick, file in enumerate(FILE_PICKS):
        text = string_file if file == "string" else b""
        seeds.append(("reload-" + file, header() + line(MIA, "talk", "`rgag Bob")
                      + world(OTTO, "reload", pick, text) + everyday))
        seeds.append(("restart-" + file, header() + world(0, "restart", pick, text) + everyday))
        seeds.append(("restart-everyone-" + file, header("member-rooms")
                      + line(MIA, "talk", "`rpin Ned") + world(0, "restart", pick | EVERYONE_LEAVES, text)
                      + everyday))
    seeds.append(("story-reload-live", header()
                  + line(MIA, "talk", "`rgag Bob") + line(MIA, "talk", "`rpin Ned") + line(MIA, "talk", "`rlimit on")
                  + raw(BOB, "navR", le("h", 200)) + world(0, "advance", 2)
                  + world(OTTO, "reload", FILE_PICKS.index("member-rooms"))
                  + line(GUS, "talk", "`rgag Zed") + line(MIA, "talk", "`rkick Bob") + line(BOB, "talk", "`rlimit on")
                  + world(0, "advance", 6) + world(OTTO, "reload", FILE_PICKS.index("too-long"))
                  + line(GUS, "talk", "`rgag Zed") + world(0, "advance", 15)
                  + world(OTTO, "reload", FILE_PICKS.index("loose")) + line(MIA, "talk", "`rgag Bob")
                  + line(MIA, "talk", "`rlimit off") + world(WANDA, "reload", FILE_PICKS.index("broken"))
                  + world(OTTO, "reload", FILE_PICKS.index("broken"))
                  + world(OTTO, "reload", FILE_PICKS.index("missing")) + world(0, "advance", 15)
                  + world(OTTO, "reload", FILE_PICKS.index("example")) + line(MIA, "talk", "`rbanlist")
                  + world(0, "advance", 15)))
    seeds.append(("story-restart", header("member-rooms") + line(MIA, "talk", "`rgag Bob")
                  + world(0, "restart", FILE_PICKS.index("member-rooms")) + line(BOB, "talk", "still gagged?")
                  + world(0, "restart", FILE_PICKS.index("too-long")) + line(GUS, "talk", "`gmsg unscreened")
                  + world(0, "advance", 2) + world(0, "restart", FILE_PICKS.index("missing") | EVERYONE_LEAVES)
                  + world(0, "restart", FILE_PICKS.index("example") | EVERYONE_LEAVES)
                  + world(0, "advance", 2) + line(MIA, "talk", "`rgag Bob") + world(0, "advance", 15)))
    burst = b"".join(line(BOB, "talk", "again and again %d" % i) for i in range(6))
    seeds.append(("story-clock", header(start_time=1) + burst + world(0, "clock-jump", J_BACK_HOUR) + burst
                  + world(0, "advance", 2) + world(0, "clock-jump", J_AHEAD_10Y) + world(0, "advance", 2) + burst
                  + world(MIA, "leave-or-return", 0) + world(0, "clock-jump", J_EPOCH)
                  + world(BOB, "goto", ROOM_ARGS[200]) + line(BOB, "talk", "`rtake")
                  + world(0, "clock-jump", J_2038) + world(0, "advance", 9) + line(BOB, "talk", "`rtake")
                  + world(0, "clock-jump", J_BACK_10Y) + burst + world(0, "clock-jump", J_BACK_DAY)
                  + world(0, "clock-jump", J_BACK_1S) + raw(GUS, "smsg", b"help me please\0")
                  + world(0, "clock-jump", J_AHEAD_3D) + world(0, "advance", 15)))
    for k in (0, 1, 3, 7, 20):
        seeds.append(("story-fail-from-%d" % k, header("member-rooms") + world(0, "fail-from", k)
                      + line(GUS, "talk", "hello while memory runs out") + line(MIA, "talk", "`rgag Bob")
                      + world(OTTO, "reload", FILE_PICKS.index("member-rooms")) + line(PIA, "talk", "`newroom Tight")
                      + world(ZED, "leave-or-return", 0) + world(ZED, "leave-or-return", 0)
                      + world(0, "advance", 2) + world(0, "restart", FILE_PICKS.index("example"))
                      + world(0, "fail-from", 0x80) + world(0, "restart", FILE_PICKS.index("example"))
                      + world(0, "advance", 2)))
    for code, bodies in message_cases().items():
        seeds.append(("no-sender-" + (code.strip("\0") or "zero"),
                      header() + world(WANDA, "no-sender", RAW_TYPES.index(code), bodies[0])))
    seeds.append(("no-sender-command", header() + world(OTTO, "no-sender", RAW_TYPES.index("talk"), b"`kestrom reload\0")
                  + world(GUS, "no-sender", RAW_TYPES.index("whis"), le("I", 3) + b"`rgag Bob\0")))
    seeds.append(("story-rank", header() + world(GUS, "rank", 3) + line(GUS, "talk", "`kestrom reload")
                  + line(GUS, "talk", "`gmsg now I rule") + world(OTTO, "rank", 0) + line(OTTO, "talk", "`pagegag Gus")
                  + world(WANDA, "rank", 1) + line(WANDA, "talk", "`er") + world(MIA, "rank", 0)
                  + line(MIA, "talk", "`rgag Bob") + world(MIA, "rank", 2) + world(BOB, "goto", ROOM_ARGS[99])
                  + world(0, "advance", 2) + world(BOB, "rank", 3) + world(BOB, "goto", ROOM_ARGS[99])
                  + world(0, "advance", 2) + raw(GUS, "susr", b"")))
    seeds.append(("story-flags", header() + world(GUS, "flag", 0) + raw(GUS, "usrN", pascal(b"Gustav"))
                  + world(GUS, "flag", 0) + raw(GUS, "usrN", pascal(b"Gustavo")) + world(PIA, "flag", 2)
                  + line(PIA, "talk", "`naked") + world(HAL, "flag", 3) + line(GUS, "talk", "`find " + HAL_NAME)
                  + world(EXA, "flag", 0) + world(EXA, "flag", 1) + raw(EXA, "usrF", le("h", 5))
                  + world(NED, "flag", 4) + line(NED, "talk", "hello")))
    seeds.append(("story-records", header()
                  + record_change(BOB, "name", 0, b"Robert") + line(OTTO, "talk", "`find Robert")
                  + record_change(NED, "props", 9) + world(NED, "goto", ROOM_ARGS[30]) + world(0, "advance", 2)
                  + record_change(WANDA, "address", 1) + world(WANDA, "leave-or-return", 0)
                  + world(WANDA, "leave-or-return", 0) + world(0, "advance", 2)
                  + record_change(BOB, "counter", 1) + world(BOB, "goto", ROOM_ARGS[200])
                  + line(BOB, "talk", "`rlimit on") + record_change(BOB, "owned-room", 1)
                  + line(BOB, "talk", "`myroom") + record_change(ZED, "crc", 0) + raw(ZED, "susr", b"")
                  + record_change(GUS, "position", 5) + raw(GUS, "uLoc", point(100, 100))
                  + record_change(GUS, "face", 12) + line(GUS, "talk", "`reset")
                  + record_change(GUS, "esp-sender", 2) + line(GUS, "talk", "`respond hi there")
                  + record_change(MIA, "hides", 0) + line(GUS, "talk", "`find Mia")
                  + record_change(MIA, "counter", 4) + world(MIA, "leave-or-return", 0)
                  + world(0, "advance", 12)))
    seeds.append(("story-rooms", header()
                  + world(PIA, "room", R_MEMBER | 0, b"Pia's Parlour") + world(PIA, "goto", ROOM_ARGS[300])
                  + line(PIA, "talk", "`rlimit on") + line(PIA, "talk", "`rgag Gus")
                  + raw(GUS, "navR", le("h", 300)) + world(0, "advance", 2) + line(GUS, "talk", "hello?")
                  + world(0, "room", R_CLOSED | 1) + raw(GUS, "navR", le("h", 301))
                  + world(BOB, "room", R_MEMBER | R_PRIVATE | 0) + line(BOB, "talk", "`rowner Pia")
                  + world(0, "room", R_NOMEMBERS | R_NOLOOSEPROPS | 2, b"")
                  + raw(MIA, "navR", le("h", 302)) + world(WANDA, "goto", ROOM_ARGS[302])
                  + raw(WANDA, "nPrp", asset(501) + point(10, 10)) + world(0, "room", 7, b"x" * 300)
                  + world(0, "advance", 2)))
    return seeds


def corner_seeds():
    """Short conversations for corners the fuzzer is slow to find."""
    seeds = [
        ("story-face-too-fast", header(strict=True) + line(GUS, "talk", "`setface 3") + line(GUS, "talk", "`setface 4")
         + line(GUS, "talk", "`naked") + line(GUS, "talk", "`naked")),
        ("story-killx-long", header() + line(OTTO, "whisper", "`killx " + "c" * 250, target=NED)),
        ("story-chatgoto-whisper", header() + line(OTTO, "whisper", "take me to the lobby", target=MIA)
         + line(GUS, "whisper", "take me to the lobby", target=OTTO) + world(ZED, "leave-or-return", 0)
         + line(WANDA, "whisper", "costume shop please", target=ZED)),
        ("story-full-room", header() + world(PIA, "goto", ROOM_ARGS[1]) + world(ZED, "goto", ROOM_ARGS[1])
         + raw(OTTO, "navR", le("h", 1)) + line(OTTO, "talk", "take me to the lobby")),
        ("story-frozen-props", header() + line(MIA, "talk", "`rpropfreeze on")
         + raw(HAL, "mPrp", le("i", 0) + point(60, 60)) + raw(HAL, "dPrp", le("i", 0))
         + world(OTTO, "goto", ROOM_ARGS[30]) + line(OTTO, "talk", "`propfreeze on")
         + raw(ZED, "mPrp", le("i", 0) + point(120, 100)) + raw(ZED, "dPrp", le("i", 1))),
        ("story-mimick-warn", header("member-rooms")
         + raw(BOB, "navR", le("h", 200)) + world(0, "advance", 2) + line(MIA, "talk", "a line to repeat")
         + line(BOB, "talk", "a line to repeat") + line(BOB, "talk", "a line to repeat")),
    ]
    for k in (1, 2):  # the second allocation is the renaming message
        seeds.append(("story-namegag-no-memory-%d" % k, header() + world(0, "fail-alloc", k - 1)
                      + line(WANDA, "whisper", "`namegag Nobody", target=BOB)))
    return seeds


def parameter_file_seeds():
    with open(os.path.join(TOP, "examples", "kestrom.params"), "rb") as f:
        example = f.read()
    lines = example.split(b"\n")
    seeds = [("example", example), ("empty", b""), ("example-no-newline", example.rstrip(b"\n"))]
    # Each line of the example on its own, and the example less that line.
    for i, l in enumerate(lines):
        if not l.strip() or l.startswith(b"#"):
            continue
        word = l.split()[0].decode()
        seeds.append(("only-%02d-%s" % (i, word), l + b"\n"))
    variants = {
        "keyword-alone": b"".join(k.encode() + b"\n" for k in KEYWORDS + PARAMETERS),
        "caps": example.upper(),
        "tabs": example.replace(b" ", b"\t"),
        "crlf": example.replace(b"\n", b"\r\n"),
        "long-line-298": b"chat 5 1 public " + b"x" * 282 + b"\n",
        "long-line-299": b"chat 5 1 public " + b"x" * 283 + b"\n",
        "long-last-line": b"chat 5 1 public\n" + b"page " + b"1" * 400,
        "nul-bytes": b"chat 5\x00 1 public\nmroombg pic\x00ture\n",
        "numbers": b"chat -1 -1 all\nchat 4294967295 1e308 all\nchat 99999999999999999999 -1e308 public\n"
                   b"move 5 nan all\nslide 5 inf all\nmove 5 -inf rm1\npage 0 0 all\n"
                   b"reppage 1 1e-320 all\nzone -5 all\navatarzone 2147483648 all\n"
                   b"mimick -2147483649 all\nclearlooseprops 99999999999 all\n",
        "ranges": b"spoof rm rm- rm-5 rm5- rm32767-99999 rm-32768 rm99999999999 rm1-2-3 RM5 rmx all off\n"
                  b"take rm0-0 rm5-1 rm65535\n",
        "announce": b"autoannounce 12:00:00 now\nautoannounce 11:59:59 a second ago\n"
                    b"autoannounce 99:99:99 odd\nautoannounce -1:-1:-1 negative\n"
                    b"autoannounce 7:30:00 short\nautoannounce 12:00:00\nautoannounce 12:00:00 \n"
                    b"autoannounce 12:00:0012 no space\nautoannounce 1:2:3:45 x\n"
                    b"autoannounce 00:00:00 " + b"y" * 251 + b"\n",
        "setrank": b"setrank\nsetrank nothing god\nsetrank gmsg\nsetrank gmsg rank\n"
                   b"setrank clean god god\nsetrank find 9 9\nsetrank find 4 -1\nsetrank ru god\n"
                   b"setrank find guest guest extra\nsetrank kestrom guest\n",
        "texts": b"pageresponse " + b"p" * 251 + b"\ngpageresponse " + b"g" * 250 + b"\n"
                 b"mroombg " + b"m" * 32 + b"\nmroombg\npageresponse\npageresponse ok\n"
                 b"pageresponse %s%n%x\nmroombg %s%s\n",
        "switches": b"wizinmemberrooms y\nwizinmemberrooms n\nwizinmemberrooms maybe\n"
                    b"rownerinroom\nmemberrwho YES\nguestwiz no\nguestwiz\nrtakedelay o\n"
                    b"rtakedelay\nrtakedelay -5\nmroomdiscipline off\nmroomdiscipline 0\n"
                    b"mroomdiscipline -1\nmroomdiscipline 2147483647\npagelength -3\n"
                    b"gpagelength 99999999999\n",
        "chatgoto": b"chatgoto 5 go five\nchatgoto currentroom here\nchatgoto\nchatgoto 5\n"
                    b"chatgoto -1 nowhere\nchatgoto 99999 far\nchatgoto hello there\n",
        "dupip": b"dupip 0\ndupip 1 10.0.0.*\ndupip -1 *.*.*.*\ndupip 2 10.0.0.7\ndupip\n"
                 b"dupip 1 300.1.2.3\ndupip 1 %s\n",
        "many-rules": b"".join(b"%s %d 0.5 rm%d-%d warn public\n" % (p.encode(), n, n, n + 3)
                               for n in range(1, 40) for p in ("chat", "move")),
        "words": b"all\nwarn\nrm5\n# comment\n   # indented comment\n\n\t\nCHAT 5 1 PUBLIC\nch 5 1 all\n",
    }
    seeds += sorted(variants.items())
    return seeds


def write_dictionary():
    entries = []
    entries += [("type", c) for c in RAW_TYPES if c.strip("\0")]
    entries += [("command", c) for c in COMMANDS]
    entries += [("command line", "`" + c + " ") for c in COMMANDS]
    entries += [("keyword", k) for k in KEYWORDS]
    entries += [("parameter", p) for p in PARAMETERS]
    entries += [("rooms", s) for s in SELECTIONS]
    entries += [("rank", r) for r in RANKS]
    entries += [("user", u) for u in USERS]
    entries += [("help", h) for h in HELP_WORDS]
    entries += [("server command", "`" + c) for c in SERVER_COMMANDS]
    entries += [("word", w) for w in ["reload", "on", "off", "yes", "no", "12:00:00", "09:00:00",
                                      "-1", "4294967295", "2147483648", "1e308", "nan", "inf",
                                      "'", "`"]]
    seen = set()
    out = ["# kestrom.dict - words the fuzz targets' inputs are made of (fuzz/make_seeds.py)."]
    for kind, value in entries:
        if value in seen:
            continue
        seen.add(value)
        out.append('%s="%s"' % (re.sub(r"\W", "_", kind) + "_" + re.sub(r"\W", "_", value).strip("_"),
                                value.replace("\\", "\\\\").replace('"', '\\"')))
    with open(os.path.join(FUZZ, "kestrom.dict"), "w") as f:
        f.write("\n".join(out) + "\n")
    return len(seen)


def main():
    n1 = write_corpus("handle_message", handle_message_seeds())
    n2 = write_corpus("parameter_file", parameter_file_seeds())
    n3 = write_dictionary()
    print(f"handle_message: {n1} seeds, parameter_file: {n2} seeds, dictionary: {n3} entries")


if __name__ == "__main__":
    main()
