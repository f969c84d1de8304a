#!/usr/bin/env python3
"""kelsim --json against the text transcript of the same run.

The demo played twice, as text and as JSON: every JSON line parses, the two
hold the same number of lines, and each JSON line has the time, kind, who,
channel and text of its text line.  Moves name the team they led to.  Then
hostile names (bytes that are no UTF-8, quotes, control bytes) still give
one parsable object a line.

    json_transcript.py SOURCE_DIR PLUGIN [EMULATOR] KELSIM
"""
import json
import os
import re
import subprocess
import sys
import tempfile

KINDS = {"step", "output", "note", "host-error", "fatal", "expect-failed", "refused", "summary"}
# The word each output channel has in a text line, after the player's name.
CHANNEL_WORD = {
    "chat": "chat", "screen": "screen", "client runs": "client runs", "sees": "sees",
    "client console": "console", "center print": "center print", "chat print": "chat print",
}
TEAMS = {0: "the ready room", 1: "the marines", 2: "the aliens"}


def run(kelsim, plugin, args):
    done = subprocess.run(kelsim + ["--plugin", plugin] + args, capture_output=True, check=False)
    if done.returncode != 0:
        sys.exit(f"FAIL: kelsim {' '.join(args)} exited with {done.returncode}:\n"
                 + done.stderr.decode(errors="replace"))
    # Each run has its own private directory for the plugin.
    return re.sub(r"kelsim\.[A-Za-z0-9]{6}", "kelsim.XXXXXX",
                  done.stdout.decode("utf-8", errors="replace"))


def text_entries(text):
    """Transcript lines; a text's later lines are indented under its first."""
    entries = []
    for line in text.splitlines():
        if line.startswith("           ") and entries:
            entries[-1] += "\n" + line
        else:
            entries.append(line)
    return entries


def parse_lines(output):
    objects = []
    for number, line in enumerate(output.splitlines(), 1):
        try:
            obj = json.loads(line)
        except json.JSONDecodeError as error:
            sys.exit(f"FAIL: JSON line {number} does not parse ({error}): {line}")
        if not isinstance(obj, dict) or obj.get("kind") not in KINDS or "time" not in obj:
            sys.exit(f"FAIL: JSON line {number} is no transcript event: {line}")
        objects.append(obj)
    return objects


def expected_head(obj):
    """The start of the text line that stands for `obj`."""
    stamp = f"[{obj['time']:8.2f}]"
    kind = obj["kind"]
    if kind == "step":
        return f"{stamp} >> {obj['text']}"
    if kind == "summary":
        return (f"== {obj['steps']} steps, {obj['failed']} failed expectations, "
                f"{obj['hostErrors']} host errors")
    if kind == "note":
        return f"{stamp}    -- "
    if kind == "output" and "who" in obj:
        who = "everyone" if obj.get("everyone") else ", ".join(obj["who"])
        return f"{stamp}    [{who} {CHANNEL_WORD[obj['channel']]}] "
    if kind == "output":
        return f"{stamp}    [{obj['channel']}] "
    return stamp


def check_demo(source, plugin, kelsim):
    args = ["--values", os.path.join(source, "examples", "player_values.txt"),
            os.path.join(source, "examples", "demo.kel")]
    entries = text_entries(run(kelsim, plugin, args))
    objects = parse_lines(run(kelsim, plugin, ["--json"] + args))
    if len(objects) != len(entries):
        sys.exit(f"FAIL: {len(objects)} JSON lines for {len(entries)} transcript lines")
    moves = 0
    for number, (obj, entry) in enumerate(zip(objects, entries), 1):
        head = expected_head(obj)
        first_text_line = obj.get("text", "").split("\n")[0].rstrip(" ")
        if not entry.startswith(head.rstrip(" ")) or (obj["kind"] != "summary"
                                          and not entry.split("\n")[0].endswith(first_text_line)):
            sys.exit(f"FAIL: line {number} differs:\n  text: {entry}\n  json: {obj}")
        if "the game moves" in obj.get("text", ""):
            moves += 1
            if not obj["text"].endswith(" to " + TEAMS.get(obj.get("team"), "?")):
                sys.exit(f"FAIL: line {number}: the move's team {obj.get('team')} is not its text's")
    if moves == 0:
        sys.exit("FAIL: the demo's JSON holds no move")
    return len(objects)


def check_hostile_names(plugin, kelsim):
    with tempfile.TemporaryDirectory() as directory:
        script = os.path.join(directory, "hostile.kel")
        with open(script, "wb") as out:
            out.write(b"cvar mp_serverops STEAM_0:0:1\n"
                      b"connect \"Caf\xe9 \\\"q\\\"\" STEAM_0:0:1 marines\n"
                      b"connect \"tab\there\" STEAM_0:0:2 aliens\n"
                      b"say \"Caf\xe9 \\\"q\\\"\" \"/showlast\"\n"
                      b"say \"tab\there\" \"hi \xff\xfe\"\n")
        objects = parse_lines(run(kelsim, plugin, ["--json", script]))
        if not any("Caf\ufffd" in "".join(o.get("who", [])) for o in objects):
            sys.exit("FAIL: the name that is no UTF-8 is not shown with U+FFFD")
    return len(objects)


def main():
    source, plugin, *kelsim = sys.argv[1:]
    demo = check_demo(source, plugin, kelsim)
    hostile = check_hostile_names(plugin, kelsim)
    print(f"json transcript: {demo} demo lines match the text transcript; "
          f"{hostile} lines with hostile names parse")


if __name__ == "__main__":
    main()
