#!/usr/bin/env python3
"""How forgiving the route is: every jump of the playthrough script played again
with its direction key let go 5 frames early and 5 frames late. Each variant
must land on the same piece of the stage as the script's own jump. Not part of
the suite (about 25 plays of up to half a minute); run it from the build folder
after changing the stage or the script:  python3 ../tests/game/route_margin.py"""
import os
import re
import sys
import tempfile

from replay_log import run_replay

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "replay",
                      "playthrough.script")
EVENT = re.compile(r"^(\d+) KEY (\w+) (down|up)$")


def jumps(lines):
    """(line index of the jump's Space, line index of its direction key's release)."""
    found = []
    for i, line in enumerate(lines):
        m = EVENT.match(line)
        if not (m and m.group(2) == "SPACE" and m.group(3) == "down"):
            continue
        # The direction key held through the jump: down before it, up after it.
        for j in range(i + 1, len(lines)):
            n = EVENT.match(lines[j])
            if n and n.group(2) in "WASD" and n.group(3) == "up":
                held_before = any(EVENT.match(lines[k]) and EVENT.match(lines[k]).group(2) == n.group(2)
                                  and EVENT.match(lines[k]).group(3) == "down" for k in range(i - 2, i))
                if held_before:
                    found.append((i, j))
                break
    return found


def landing(lines, jump_frame):
    """What the player stands on when it is first back on the ground after the
    jump at `jump_frame` (the goal's clear phase counts as landing on the goal)."""
    with tempfile.TemporaryDirectory() as folder:
        frames = run_replay(folder, "\n".join(lines) + "\n", jump_frame + 200)
    for f in frames[jump_frame + 5:]:
        if f["phase"] == 2:
            return "the goal"
        if f["player"] and f["player"]["on_ground"]:
            return f["player"]["standing_on"]
    return None


def main():
    lines = open(SCRIPT).read().splitlines()
    failures = 0
    for space, release in jumps(lines):
        jump_frame = int(EVENT.match(lines[space]).group(1))
        frame, key = EVENT.match(lines[release]).group(1, 2)
        target = landing(lines, jump_frame)
        for shift in (-5, 5):
            variant = list(lines)
            variant[release] = "%d KEY %s up" % (int(frame) + shift, key)
            lands = landing(variant, jump_frame)
            failures += 0 if lands == target else 1
            print("jump at %d, %s let go %+d: lands on %s (the script's: %s)"
                  % (jump_frame, key, shift, lands, target), flush=True)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
