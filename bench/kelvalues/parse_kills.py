#!/usr/bin/env python3
"""Counts the kills in server logs, written plainly with the re module.

The yardstick for the reading speed of `kelvalues from-logs` (run.sh runs
both on the same logs): every line is matched against the standard kill
line, its fields taken apart (date and time, both players' names, user ids,
Steam ids and teams, the weapon), and each kill between two Steam ids of
different teams, on a line of valid UTF-8, is added to the killer's kills and the victim's
deaths.

    parse_kills.py LOG_OR_FOLDER...
"""
import os
import re
import sys

KILL = re.compile(
    rb'^L (\d\d)/(\d\d)/(\d{4}) - (\d\d):(\d\d):(\d\d): '
    rb'"([^"<>]*)<(-?\d+)><([^"<>]*)><([^"<>]*)>" killed '
    rb'"([^"<>]*)<(-?\d+)><([^"<>]*)><([^"<>]*)>" with "([^"]*)"\r?$')
STEAM_ID = re.compile(rb'^STEAM_[01]:[01]:\d+$')


def log_files(paths):
    for path in paths:
        if os.path.isdir(path):
            for folder, _, names in sorted(os.walk(path)):
                for name in sorted(names):
                    if name.endswith('.log'):
                        yield os.path.join(folder, name)
        else:
            yield path


def main():
    kills = {}
    deaths = {}
    lines = counted = 0
    for path in log_files(sys.argv[1:]):
        with open(path, 'rb') as log:
            for line in log:
                lines += 1
                match = KILL.match(line)
                if not match:
                    continue
                (month, day, year, hour, minute, second, killer_name, killer_uid, killer_id,
                 killer_team, victim_name, victim_uid, victim_id, victim_team,
                 weapon) = match.groups()
                if killer_id == victim_id or killer_team == victim_team:
                    continue
                if not STEAM_ID.match(killer_id) or not STEAM_ID.match(victim_id):
                    continue
                try:
                    line.decode('utf-8')
                except UnicodeDecodeError:
                    continue
                kills[killer_id] = kills.get(killer_id, 0) + 1
                deaths[victim_id] = deaths.get(victim_id, 0) + 1
                counted += 1
    players = len(set(kills) | set(deaths))
    print(f'parse_kills.py: {lines} lines, {counted} kills counted, {players} players',
          file=sys.stderr)


if __name__ == '__main__':
    main()
