#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets under fuzz/corpus/.

The targets decode their input with libFuzzer's FuzzedDataProvider, which
takes strings from the front of the input and numbers from the back.  The
Input class below mirrors that, so a seed is written as the sequence of
values the target will read.  Run it from anywhere; it rewrites the seeds.
"""
import os
import sys

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")


class Input:
    def __init__(self):
        self.front = bytearray()
        self.back = bytearray()  # in the order the target consumes them

    def text(self, value):
        # ConsumeRandomLengthString: a backslash doubles, "\\" + other ends.
        data = value.encode("latin-1") if isinstance(value, str) else bytes(value)
        self.front += data.replace(b"\\", b"\\\\") + b"\\x"
        return self

    def rest(self, value):
        # ConsumeRemainingBytesAsString: everything left at the front.
        self.front += value.encode("latin-1") if isinstance(value, str) else bytes(value)
        return self

    def int(self, value, low, high):
        # ConsumeIntegralInRange: bytes from the end, most significant first.
        span = high - low
        count = 0
        while count < 8 and (span >> (8 * count)) > 0:
            count += 1
        offset = value - low
        assert 0 <= offset <= span
        self.back += bytes((offset >> (8 * (count - 1 - k))) & 0xFF for k in range(count))
        return self

    def bool(self, value):
        return self.int(1 if value else 0, 0, 255)

    def u32(self, value):
        return self.int(value, 0, 2**32 - 1)

    def i32(self, value):
        return self.int(value, -2**31, 2**31 - 1)

    def bytes(self):
        return bytes(self.front) + bytes(reversed(self.back))


def write(target, name, data):
    directory = os.path.join(ROOT, target)
    os.makedirs(directory, exist_ok=True)
    with open(os.path.join(directory, name), "wb") as out:
        out.write(data if isinstance(data, bytes) else data.encode("latin-1"))


# ---- values_load_fuzz: player values files -----------------------------
DEMO = open(os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "examples",
                         "player_values.txt"), "rb").read()
write("values_load_fuzz", "demo", DEMO)
write("values_load_fuzz", "demo_crlf", DEMO.replace(b"\n", b"\r\n"))
write("values_load_fuzz", "no_final_line_end", b"STEAM_0:0:1,1500\nSTEAM_0:1:2,900")
write("values_load_fuzz", "commas_in_keys", b"a,b,100\n,7\nno comma 12\n1234\n\n  -40\n")
write("values_load_fuzz", "extremes", b"x,2147483647\ny,2147483647\nz,99999999999\nw,-2147483648\n")
write("values_load_fuzz", "sum_zero", b"a,5\nb,-5\n")
write("values_load_fuzz", "repeated_key", b"k,10\nk,20\nk,30\r\n")
write("values_load_fuzz", "across_pieces", b"\xff\xff\x10" + b"tail,5\nnext,6\n")
write("values_load_fuzz", "byte_order_mark", b"\xef\xbb\xbfSTEAM_0:1:1,1500\r\nSTEAM_0:0:2,900\r\n"
      b"\xef\xbb\xbfx,7\n")

# ---- log_line_fuzz: server log lines --------------------------------------
KILL = (b'L 01/02/2024 - 20:15:07: "Alice<3><STEAM_0:1:1001><team_one>" killed '
        b'"Bob<4><STEAM_0:0:1002><team_two>" with "shotgun"')
write("log_line_fuzz", "kills", KILL + b"\n" + KILL.replace(b"20:15:07", b"20:15:08") + b"\r\n")
write("log_line_fuzz", "other_events",
      b'L 01/02/2024 - 20:15:09: "Alice<3><STEAM_0:1:1001><team_one>" committed suicide with '
      b'"world"\nL 01/02/2024 - 20:15:10: "Bob<4><STEAM_0:0:1002><team_two>" say "gg"\n'
      b'L 01/02/2024 - 20:15:11: World triggered "Round_Start"\n')
write("log_line_fuzz", "hostile_names",
      KILL.replace(b"Alice", b"A\"l<i>ce").replace(b"Bob", "B\u00f6b".encode()) + b"\n" +
      KILL.replace(b"Bob", b"B\xc3\x28b") + b"\n" + KILL.replace(b"STEAM_0:0:1002", b"BOT"))
# A line over the 4096-byte limit whose first 4097 bytes end a read piece
# (the second-last byte, a blank, makes the target's pieces 4097 bytes);
# it once made the next read write a byte past the reader's buffer.
write("log_line_fuzz", "overlong_at_piece_end", b"x" * 9000 + b"\n" + KILL + b" y")

# ---- serverops_fuzz: (choice, id, list) ----------------------------------
def ops(choice, ident, text):
    return Input().int(choice, 0, 2).text(ident).text(text).bytes()

write("serverops_fuzz", "whole_id", ops(0, "STEAM_0:1:12", "STEAM_0:0:7, STEAM_0:1:12;x"))
write("serverops_fuzz", "prefix_only", ops(0, "STEAM_0:1:12", "STEAM_0:1:123456"))
write("serverops_fuzz", "at_both_ends", ops(0, "BOT", "BOT"))
write("serverops_fuzz", "steam_form", ops(2, "1:5", "STEAM_0:1:5 STEAM_0:1:55"))
write("serverops_fuzz", "empty_id", ops(0, "", "STEAM_0:0:1"))

# ---- stv_fuzz: ratio, factor, then players -------------------------------
def stv(players, n=3, d=2, factor=1125):
    data = Input()
    data.int(n, -2**38, 2**38).int(d, -2**38, 2**38)
    data.bool(False).i32(factor)
    data.int(len(players), 0, 64)
    for team, value, name in players:
        data.bool(team == 1)
        if value in (0, 1, -1, 2**31 - 1, -2**31):
            data.bool(True).int([0, 1, -1, 2**31 - 1, -2**31].index(value), 0, 9)
        else:
            data.bool(False).i32(value)
        data.text(name)
    return data.bytes()

write("stv_fuzz", "empty", stv([]))
write("stv_fuzz", "two_teams", stv([(1, 1500, "Alice"), (1, 900, "Bob"), (2, 1200, "Carol"),
                                    (2, 1000, "Dave")]))
write("stv_fuzz", "one_sided", stv([(1, 1000, "Alice"), (1, 1000, "Bob")]))
write("stv_fuzz", "extremes", stv([(1, 2**31 - 1, "Max"), (1, 2**31 - 1, "Max2"),
                                   (2, -2**31, "Min"), (2, 1, "%s%n")], n=7, d=4, factor=2675))
write("stv_fuzz", "ties", stv([(2, 20, "a"), (1, 20, "b"), (2, 21, "c"), (1, 20, "d")]))

# ---- eventeams_fuzz: seed, players ---------------------------------------
def even(seed, players):
    data = Input().u32(seed).int(len(players), 0, 64)
    for name, value, team in players:
        data.bool(False).text(name)
        data.bool(False).i32(value)
        data.int(team, -2, 2)
    return data.bytes()

write("eventeams_fuzz", "ready_room", even(7, [("A", 1200, 0), ("B", 1100, 0), ("C", 900, 0),
                                              ("D", 800, 0)]))
write("eventeams_fuzz", "odd_with_teams", even(1, [("A", 1500, 1), ("B", 700, 2), ("C", 1000, 0),
                                                  ("D", 1300, 0), ("E", 600, -1)]))
write("eventeams_fuzz", "aliens_hold_more", even(3, [("A", 1, 2), ("B", 2, 2), ("C", 3, 2),
                                                    ("D", 4, 0)]))
write("eventeams_fuzz", "same_names", even(9, [("X", 10, 0), ("X", 20, 0), ("X", 30, 1),
                                              ("Y", 40, 0)]))
write("eventeams_fuzz", "extremes", even(5, [("a", 2**31 - 1, 0), ("b", 2**31 - 1, 0),
                                            ("c", -2**31, 0), ("d", 2**31 - 1, 1)]))

# ---- hud_text_fuzz: parameters, then the text ------------------------------
def hud(x, y, effect, colours, times, channel, paths, text):
    data = Input()
    for position in (x, y):
        data.int(2, 0, 3).int(position, -40000, 70000)
    data.bool(True).int(effect, -1, 3)
    for colour in colours:
        data.int(colour, 0, 255)
    for time in times:
        data.int(2, 0, 3).int(time, -40000, 70000)
    data.bool(True).int(channel, 0, 5)
    data.int(paths, 0, 255)
    return data.rest(text).bytes()

write("hud_text_fuzz", "info_style",
      hud(102, 25, 0, [255, 255, 0, 255] * 2, [25, 512, 2048, 512], 2, 3,
          "+-- Marines\n| 1500 - Alice\n"))
write("hud_text_fuzz", "alert_style",
      hud(-256, -256, 1, [255, 0, 0, 255] * 2, [25, 1024, 1280, 1024], 1, 1,
          "Sorry, player values not loaded\n"))
write("hud_text_fuzz", "effect_two", hud(0, 0, 2, [1] * 8, [1, 2, 3, 4], 3, 2, "fx"))
write("hud_text_fuzz", "long_text", hud(70000, -40000, 0, [0] * 8, [-40000, 70000, 0, 0], 0, 3,
                                       "\xe2\x82\xac" * 200 + "\n"))

# ---- dispatcher_fuzz: sessions -----------------------------------------------
NAMES = ["Admin", "Alice", "Bob", "Carol", "Dave"]
IDS = ["STEAM_0:0:1", "STEAM_0:1:2", "STEAM_0:0:3", "STEAM_0:1:12", "STEAM_0:1:123456"]
COMMANDS = ["kel", "showlast", "sl", "movelast", "ml", "rrr", "eventeams", "eventeam", "stv",
            "kel_help"]
TEAMS = {0: 0, 1: 1, 2: 2}


class Session:
    def __init__(self, serverops, values, notice_off=False, handicap=0, file_choice=0, seed=1):
        self.data = Input()
        self.data.text(serverops).int(handicap, 0, 4).bool(not notice_off)
        self.data.int(file_choice, 0, 3).text(values).u32(seed)
        self.present = []
        self.players = []

    def players_arrive(self, players):
        self.data.int(len(players), 0, 16)
        for name, ident, slot, team in players:
            self.arrive(name, ident, slot, team)
        return self

    def arrive(self, name, ident, slot, team, dead=False):
        self.data.int(NAMES.index(name), 0, 19).int(-1, -1, 15)
        self.data.int(1, 0, 3).int(IDS.index(ident), 0, 11)
        self.data.int(1, 0, 7).int(slot, 1, 64)
        self.data.int(TEAMS[team], 0, 8).int(0 if dead else 1, 0, 3)
        self.present.append(slot)
        self.present.sort()

    def some_slot(self, slot):
        self.data.int(1, 0, 15)
        self.data.int(self.present.index(slot), 0, len(self.present) - 1)

    def say(self, slot, command, team_chat=False):
        self.data.int(0, 0, 15)
        self.some_slot(slot)
        self.data.bool(not team_chat)  # true reads as "say"
        self.data.bool(False).int(0, 0, 3).int(COMMANDS.index(command), 0, 9)
        self.data.int(0, 0, 255).bool(False)
        return self

    def console(self, command):
        self.data.int(5, 0, 15).int(COMMANDS.index(command), 0, 9).bool(False)
        return self

    def frames(self, count, step_index):
        self.data.int(6, 0, 15).int(count, 1, 3).int(step_index, 0, 6)
        return self

    def kill(self, slot):
        self.data.int(9, 0, 15)
        self.some_slot(slot)
        self.data.bool(True)
        return self

    def bytes(self):
        return self.data.bytes()


VALUES = "STEAM_0:0:1,1500\nSTEAM_0:1:2,1200\nSTEAM_0:0:3,900\nSTEAM_0:1:12,1000\n"
OPS = "STEAM_0:0:1"

s = Session(OPS, VALUES).players_arrive([("Admin", "STEAM_0:0:1", 1, 1), ("Alice", "STEAM_0:1:2", 2, 2),
                                         ("Bob", "STEAM_0:0:3", 3, 0), ("Carol", "STEAM_0:1:12", 4, 0)])
write("dispatcher_fuzz", "stv_and_eventeams",
      s.say(1, "stv").say(1, "eventeams").frames(1, 0).say(2, "stv").console("stv").bytes())

s = Session(OPS, VALUES).players_arrive([("Admin", "STEAM_0:0:1", 1, 1), ("Alice", "STEAM_0:1:2", 2, 1),
                                         ("Bob", "STEAM_0:0:3", 3, 1), ("Carol", "STEAM_0:1:12", 4, 2)])
write("dispatcher_fuzz", "kel_then_death",
      s.frames(2, 5).say(1, "showlast").say(1, "kel").kill(3).frames(2, 0).bytes())

s = Session(OPS, VALUES).players_arrive([("Admin", "STEAM_0:0:1", 1, 2), ("Alice", "STEAM_0:1:2", 2, 2),
                                         ("Bob", "STEAM_0:0:3", 3, 2), ("Carol", "STEAM_0:1:12", 40, 1)])
write("dispatcher_fuzz", "movelast_and_rrr",
      s.say(1, "ml").say(2, "movelast").frames(1, 0).say(1, "rrr").frames(1, 0).bytes())

s = Session("STEAM_0:1:123456", "", file_choice=2).players_arrive(
    [("Dave", "STEAM_0:1:12", 5, 0)])
write("dispatcher_fuzz", "not_operator_no_values",
      s.say(5, "kel").say(5, "stv").say(5, "kel_help").console("eventeams").bytes())
