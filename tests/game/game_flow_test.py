#!/usr/bin/env python3
"""The game from the title into play, checked on the replay log.

Title -> Enter (held on into the opening) -> the opening fly-over and the start
band -> a fresh Enter -> the fly back -> play behind the player -> a walk off
the island -> the return to the start pad -> Escape back to the title.
Run from the build folder (where replay, data/ and Shader/ are)."""
import math
import os
import tempfile

from replay_log import check, finish, first, playing, run_replay

ENTER, ESCAPE = 10, 0
BUTTON_SOUND = 3


SCRIPT = """0 ANSWER no
60 KEY RETURN down
400 KEY RETURN up
420 KEY RETURN down
423 KEY RETURN up
700 KEY W down
760 KEY SPACE down
765 KEY SPACE up
790 KEY W up
800 KEY A down
1200 KEY A up
1300 KEY ESCAPE down
1303 KEY ESCAPE up
"""
FRAMES = 1400



def main():
    with tempfile.TemporaryDirectory() as folder:
        frames = run_replay(folder, SCRIPT, FRAMES)
    check(len(frames) == FRAMES, "one log line a frame")
    game = [f for f in frames if f["scene"] == 1]
    check(game, "Enter on the title leads into the game scene")
    if not game:
        return
    check(all(f["phase"] is None and f["player"] is None for f in frames if f["scene"] != 1),
          "phase and player are null outside the game scene")

    # Phases in order, 0 then 1, and nothing else.
    phases = []
    for f in game:
        if not phases or phases[-1] != f["phase"]:
            phases.append(f["phase"])
    check(phases == [0, 1], "phases 0 then 1, got %s" % phases)

    # The opening: the camera stands for 31 counted frames, the scene clock
    # stands during the fade-in.
    opening = [f for f in game if f["phase"] == 0]
    start_pose = opening[0]["camera"]
    still = [f for f in opening if f["frame_count"] <= 30]
    check(all(f["camera"] == start_pose for f in still), "the camera holds its start pose")
    check(any(f["fading"] and f["frame_count"] == 0 for f in opening),
          "the scene clock stands while the game fades in")
    moving = first(opening, lambda f: f["camera"] != start_pose)
    # A line shows the clock after the frame counted itself: the update that first
    # moves t saw 31, the picture follows a frame later.
    check(moving is not None and moving["frame_count"] == 33,
          "the glide shows from the 33rd logged count, got %s" % (moving and moving["frame_count"]))

    # The band: raised about 30 frames after t reached 1 (~151 + 31 frames), it grows
    # fourfold a frame and is full in 7 frames.
    raised = first(opening, lambda f: f["start_message"]["active"])
    check(raised is not None and 200 <= raised["frame_count"] <= 220,
          "the band is raised about 212 counted frames in, got %s" %
          (raised and raised["frame_count"]))
    if raised:
        scales = [f["start_message"]["band_scale"] for f in opening
                  if f["frame"] >= raised["frame"]][:9]
        check(all(b > a for a, b in zip(scales[:6], scales[1:7])), "the band grows: %s" % scales)
        check(abs(scales[1] / scales[0] - 4) < 1e-3, "by four a frame: %s" % scales[:2])
        check(scales[7] == scales[8], "and stops at full height: %s" % scales)

    # Enter held from the title never closes it; the fresh press at 420 does, with the
    # button sound.
    # The script holds Enter from the title (frame 60) until frame 400.
    held = [f for f in opening if f["frame"] < 400 and f["start_message"]["active"]]
    check(held and not any(f["start_message"]["closing"] for f in held),
          "Enter held from the title does not close the band")
    closing = first(opening, lambda f: f["start_message"]["closing"])
    check(closing is not None and closing["frame"] == 420, "a fresh Enter closes the band")
    check(closing is not None and playing(closing, BUTTON_SOUND),
          "closing the band plays the button sound")

    # The fly back ends 30 frames at the start pose; play starts behind the player.
    play = [f for f in game if f["phase"] == 1]
    check(play and play[0]["frame_count"] <= 1, "the phase change restarts the scene clock")
    last_opening = opening[-1]
    check(last_opening["camera"] == start_pose, "the fly back ends at the start pose")
    # Standing still after the hand-over, the camera settles 7 behind and 1 above the body.
    settled = [abs(math.dist(f["camera"], f["player"]["bones"][0]) - math.hypot(7, 1))
               for f in play if f["frame"] < 700]
    check(settled and min(settled) < 0.3, "the game camera sits 7 behind and 1 above the body")

    # A walk south off the island: the player comes back at the start pad, at rest.
    returned = first(play, lambda f: f["fall_returns"] == 1)
    check(returned is not None, "a fall off the stage brings the player back")
    if returned:
        p = returned["player"]
        check(abs(p["position"][0]) < 1 and abs(p["position"][2] - 145) < 1,
              "back at the start pad: %s" % p["position"])
        check(p["velocity"][0] == 0 and p["velocity"][2] == 0, "at rest: %s" % p["velocity"])
        check(math.dist(returned["camera"], p["bones"][0]) < 9, "with the camera behind it")
    lowest = min(f["player"]["position"][1] for f in play)
    check(lowest > -200, "the player never falls for ever (lowest %.1f)" % lowest)

    # Escape in play: back to the title, without the button sound.
    escape = first(play, lambda f: f["keys"][ESCAPE] == 1)
    check(escape is not None and escape["changing"], "Escape in play starts the way back")
    after = [f for f in frames if escape and f["frame"] >= escape["frame"]]
    check(after and after[-1]["scene"] == 0, "Escape returns to the title")
    check(not any(playing(f, BUTTON_SOUND) for f in after if f["scene"] == 1),
          "Escape plays no button sound")


if __name__ == "__main__":
    main()
    finish()
