#!/usr/bin/env python3
"""The whole game played by tools/replay/playthrough.script, checked on
the replay log: the title and its colour, the opening, a fall off the island
and the return, the route through every checkpoint in order with rides on both
moving blocks, the goal, the clear sequence, and Enter back to the title.
Run from the build folder (where replay, data/ and Shader/ are)."""
import os
import tempfile

from replay_log import check, finish, first, run_replay

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "replay",
                      "playthrough.script")
FRAMES = 4760
START_PAD = (0.0, 0.0, 145.0)


def changes(frames, value):
    """The values a field takes, in order, each run of equal values once."""
    seen = []
    for f in frames:
        v = value(f)
        if not seen or seen[-1] != v:
            seen.append(v)
    return seen


def ride(frames, index, axis):
    """How far the player moved along `axis` while standing on object `index`."""
    on = [f["player"]["position"][axis] for f in frames
          if f["player"] and f["player"]["standing_on"] == index]
    return on[-1] - on[0] if on else 0.0


def widest_span(player):
    """The lattice's widest extent along an axis (the core, first, left out)."""
    lattice = player["bones"][1:]
    return max(max(p[i] for p in lattice) - min(p[i] for p in lattice) for i in range(3))


def main():
    with open(SCRIPT) as f:
        script = f.read()
    with tempfile.TemporaryDirectory() as folder:
        frames = run_replay(folder, script, FRAMES)
    check(len(frames) == FRAMES, "one log line a frame")

    check(changes(frames, lambda f: f["scene"]) == [0, 1, 0], "title, game, title again")
    game = [f for f in frames if f["scene"] == 1 and f["player"]]
    check(changes(game, lambda f: f["phase"]) == [0, 1, 2], "opening, play, clear in order")
    hues = changes([f for f in frames[:120] if f["title_slime"]], lambda f: f["title_slime"]["hue"])
    check(len(hues) > 5, "Down on the title turns the slime's colour")
    picked = frames[119]["title_slime"]["colour"]
    check(game and game[-1]["player"]["colour"] == picked and picked != [0, 1, 1, 1],
          "the player has the colour picked on the title")

    # The fall off the island's edge and the return to the start pad.
    check(changes(game, lambda f: f["fall_returns"]) == [0, 1], "one fall, one return")
    back = first(game, lambda f: f["fall_returns"] == 1)
    check(back is not None and all(abs(a - b) < 1e-3 for a, b in
                                   zip(back["player"]["position"], START_PAD)),
          "the fallen slime stands on the start pad again")
    check(back is not None and back["player"]["velocity"] == [0, 0, 0], "with zero speed")

    # Every checkpoint once, in the order of the route: 1, 2, then the goal 0.
    reached_at = {}
    for f in game:
        for cp in f["checkpoints"]:
            if cp["reached"] and cp["number"] not in reached_at:
                reached_at[cp["number"]] = f["frame"]
    order = sorted(reached_at, key=reached_at.get)
    check(order == [1, 2, 0], "checkpoints reached in the order 1, 2, goal (%s)" % order)
    for f in game:
        if f["frame"] > reached_at.get(0, 10**9):
            stays = all(cp["reached"] for cp in f["checkpoints"])
            check(stays, "reached checkpoints stay reached")
            break

    # The lift carries the slime up from tower C, the ferry west from tower E.
    lift = first(game, lambda f: f["player"]["standing_on"] is not None
                 and f["frame"] > reached_at.get(1, 0) and f["player"]["position"][1] > 20
                 and f["player"]["on_ground"] and f["player"]["position"][0] < -64)
    lift_index = lift["player"]["standing_on"] if lift else None
    check(lift_index is not None and ride(game, lift_index, 1) > 15, "the lift carries it up")
    ferry = first(game, lambda f: f["frame"] > reached_at.get(2, 10**9)
                  and f["player"]["position"][0] < -110 and f["player"]["on_ground"])
    ferry_index = ferry["player"]["standing_on"] if ferry else None
    check(ferry_index is not None and ride(game, ferry_index, 0) < -10, "the ferry carries it west")

    # The soft body keeps its shape all the way: walking, jumping, wall jumps, riding.
    rest = widest_span(first(game, lambda f: f["phase"] == 1)["player"])
    widest = max(widest_span(f["player"]) for f in game if f["phase"] == 1)
    check(widest <= 1.6 * rest, "the slime stays within 1.6 diameters (%.2f)" % (widest / rest))

    # The clear sequence: the slime's clear steps, the gates, the clear picture.
    clear = [f for f in game if f["phase"] == 2]
    check(changes(clear, lambda f: f["player"]["clear_state"]) == [1, 2, 3],
          "placed, walking, standing and drifting")
    last = clear[-1] if clear else None
    check(last is not None and sorted(g["turned"] for g in last["gates"]) == [-90, 90]
          and all(g["wobble_frames"] == 0 for g in last["gates"]), "both gates swung open")
    check(last is not None and last["clear_message"]["shown"]
          and abs(last["clear_message"]["scale"] - 2.11) < 0.01, "the clear picture is shown")
    check(frames[-1]["scene"] == 0 and frames[-1]["title_slime"] is not None,
          "Enter on the clear picture brings back the title")
    finish()


if __name__ == "__main__":
    main()
