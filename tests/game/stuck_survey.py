#!/usr/bin/env python3
"""Whether the slime can get stuck anywhere along the route: from every piece
of the stage the playthrough stands on, it is pushed one way for 4 seconds
(walking, with a jump every 40 frames, into whatever walls and edges are
there), then walked the opposite way for 2 seconds. It must get away: move at
least one unit, or fall and come back. Not part of the suite (about 40 plays
of up to half a minute); run it from the build folder after changing the stage:
    python3 ../tests/game/stuck_survey.py"""
import math
import os
import sys
import tempfile

from replay_log import run_replay

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "replay",
                      "playthrough.script")
PUSH, AWAY = 240, 120
OPPOSITE = {"W": "S", "S": "W", "A": "D", "D": "A"}


def stations(frames):
    """The first frame the player has stood still for 5 frames on each piece, in play."""
    found, still = {}, 0
    for prev, f in zip(frames, frames[1:]):
        p = f["player"]
        if not p or f["phase"] != 1 or not p["on_ground"] or p["velocity"] != [0, 0, 0]:
            still = 0
            continue
        still += 1
        if still == 5 and p["standing_on"] not in found:
            found[p["standing_on"]] = f["frame"]
    return found


def push_script(lines, frame, key):
    """The playthrough up to `frame`, then `key` held with jumps, then its opposite."""
    head = [line for line in lines if not line[:1].isdigit() or int(line.split()[0]) < frame]
    # Let go of whatever the playthrough holds at that moment.
    head += ["%d KEY %s up" % (frame, k) for k in ("W", "A", "S", "D", "SPACE")]
    for t in range(frame + 1, frame + PUSH, 40):
        head += ["%d KEY SPACE down" % t, "%d KEY SPACE up" % (t + 2)]
    head += ["%d KEY %s down" % (frame + 1, key), "%d KEY %s up" % (frame + PUSH, key),
             "%d KEY %s down" % (frame + PUSH + 1, OPPOSITE[key])]
    return "\n".join(head) + "\n"


def main():
    lines = open(SCRIPT).read().splitlines()
    with tempfile.TemporaryDirectory() as folder:
        baseline = run_replay(folder, "\n".join(lines) + "\n", 3600)
    failures = 0
    for piece, frame in sorted(stations(baseline).items(), key=lambda item: item[1]):
        for key in "WSAD":
            with tempfile.TemporaryDirectory() as folder:
                frames = run_replay(folder, push_script(lines, frame, key), frame + PUSH + AWAY)
            pushed = frames[frame + PUSH]
            end = frames[-1]
            returned = end["fall_returns"] > pushed["fall_returns"]
            a, b = pushed["player"]["position"], end["player"]["position"]
            moved = math.hypot(b[0] - a[0], b[2] - a[2]) + abs(b[1] - a[1])
            ok = returned or moved >= 1.0
            failures += 0 if ok else 1
            print("piece %s (frame %d), pushed %s: %s at %s, then %s %.1f" % (
                piece, frame, key, "ended on %s" % pushed["player"]["standing_on"],
                [round(x, 1) for x in a], "came back after a fall" if returned else "moved",
                moved), "" if ok else "  STUCK", flush=True)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
