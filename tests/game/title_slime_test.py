#!/usr/bin/env python3
"""The title slime, played twice through two scene changes.

The slime falls in, walks, hops and falls off the island (a new random hue),
Enter starts the game, Escape in its opening comes back to the title (without
the button sound), and the slime falls off once more. On every title frame its lattice stays within 1.6
body diameters along each axis; the two plays log the same hues on every frame,
the random ones drawn after the loader's scene builds included.
Run from the build folder (where replay, data/ and Shader/ are)."""
import os
import tempfile

from replay_log import check, finish, first, playing, run_replay

SCRIPT = """0 ANSWER no
900 KEY RETURN down
903 KEY RETURN up
1000 KEY ESCAPE down
1003 KEY ESCAPE up
"""
FRAMES = 2100
TITLE_SCALE = 0.05  # the title slime's size: its rest lattice spans this much
ESCAPE, BUTTON_SOUND = 0, 3


def lattice_span(slime):
    lattice = slime["bones"][1:]  # the core first, left out
    return [(max(p[i] for p in lattice) - min(p[i] for p in lattice)) / TITLE_SCALE
            for i in range(3)]


def main():
    plays = []
    for _ in range(2):
        with tempfile.TemporaryDirectory() as folder:
            plays.append(run_replay(folder, SCRIPT, FRAMES))
    first_play = plays[0]
    scenes = [f["scene"] for f in first_play]
    check(0 in scenes[:900] and 1 in scenes and 0 in scenes[1100:], "title, game, title again")
    escape = first(first_play, lambda f: f["keys"][ESCAPE] == 1)
    check(escape is not None and escape["scene"] == 1 and escape["phase"] == 0,
          "Escape comes during the opening")
    way_back = [f for f in first_play[escape["frame"]:] if f["scene"] == 1] if escape else []
    check(way_back and not any(playing(f, BUTTON_SOUND) for f in way_back),
          "Escape in the opening goes back without the button sound")

    title = [f for f in first_play if f["title_slime"]]
    widest = max(max(lattice_span(f["title_slime"])) for f in title)
    check(widest <= 1.6, "the slime stays within 1.6 diameters (widest %.2f)" % widest)
    walking = [lattice_span(f["title_slime"])[0] for f in title if f["title_slime"]["on_ground"]]
    check(max(walking) >= 1.1, "walking stretches it along its motion (%.2f)" % max(walking))

    hues = [[f["title_slime"]["hue"] if f["title_slime"] else None for f in play] for play in plays]
    second_title = [h for h in hues[0][1100:] if h is not None]
    check(len(set(second_title)) >= 2, "the second title's slime fell off and took a new hue")
    differing = [i for i, (a, b) in enumerate(zip(*hues)) if a != b]
    check(not differing, "both plays log the same hues (first difference at frame %s)"
          % (differing[0] if differing else None))
    finish()


if __name__ == "__main__":
    main()
