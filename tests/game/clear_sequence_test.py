#!/usr/bin/env python3
"""The goal and the clear sequence, on a small stage the test lays out itself
(the goal checkpoint a few steps from the start, the goal tower and the gates
of the shipped stage), checked on the replay log.

Run from the build folder (where replay, data/ and Shader/ are)."""
import os
import tempfile

from replay_log import check, finish, first, playing, run_replay

ENTER = 10
GAME_MUSIC, BUTTON_SOUND, GATE_SOUND = 1, 3, 9


STAGE = """model,x,y,z,sx,sy,sz,rx,ry,rz,kind,mx,my,mz,number
file,float,float,float,float,float,float,deg,deg,deg,text,float,float,float,int
./data/model/Map/checkpoint_pole.x,-5,0.5,145,2,2,2,0,0,0,CheckPoint,0,0,0,0
./data/model/Map/island.x,0,0,0,1,1,1,0,0,0,Map
./data/model/Map/start_pad.x,0,0,145,1,1,1,0,0,0,Map
./data/model/Map/goal_tower.x,-133,0,125,1,1,1,0,0,0,Map
./data/model/Map/gate_wing.x,-97.094,0,123.673,1,1,1,0,41.9,0,Gate,0,0,0,0
./data/model/Map/gate_wing.x,-88.906,0,116.327,1,1,1,0,221.9,0,Gate,0,0,0,1
"""

SCRIPT = """0 ANSWER no
60 KEY RETURN down
63 KEY RETURN up
420 KEY RETURN down
423 KEY RETURN up
640 KEY W down
660 KEY W up
1600 KEY RETURN down
1603 KEY RETURN up
"""
FRAMES = 1700
ESCAPE = 0
# The same start, then Escape while the clear camera still swings to the goal.
ESCAPE_SCRIPT = SCRIPT.split("1600 ")[0] + """760 KEY ESCAPE down
763 KEY ESCAPE up
"""
ESCAPE_FRAMES = 900


def run_folder(folder):
    """A run folder whose data/ is the build's, with the test's stage in csv/."""
    build = os.getcwd()
    data = os.path.join(folder, "data")
    os.makedirs(os.path.join(data, "csv"))
    for entry in os.listdir(os.path.join(build, "data")):
        if entry.lower() != "csv":
            os.symlink(os.path.join(build, "data", entry), os.path.join(data, entry))
    os.symlink(os.path.join(build, "data", "csv", "title.csv"), os.path.join(data, "csv", "title.csv"))
    with open(os.path.join(data, "csv", "model3.csv"), "w") as f:
        f.write(STAGE)
    os.symlink(os.path.join(build, "Shader"), os.path.join(folder, "Shader"))



def check_escape_in_the_clear_phase():
    with tempfile.TemporaryDirectory() as folder:
        run_folder(folder)
        frames = run_replay(folder, ESCAPE_SCRIPT, ESCAPE_FRAMES, run_folder=folder)
    escape = first(frames, lambda f: f["keys"][ESCAPE] == 1)
    check(escape is not None and escape["scene"] == 1 and escape["phase"] == 2,
          "Escape comes in the clear phase")
    check(escape is not None and escape["changing"], "Escape in the clear phase starts the way back")
    check(frames[-1]["scene"] == 0 and frames[-1]["title_slime"] is not None,
          "and the title comes back")


def main():
    check_escape_in_the_clear_phase()
    with tempfile.TemporaryDirectory() as folder:
        run_folder(folder)
        frames = run_replay(folder, SCRIPT, FRAMES, run_folder=folder)
    game = [f for f in frames if f["scene"] == 1]
    clear = [f for f in game if f["phase"] == 2]
    check(clear, "touching the goal starts the clear phase")
    if not clear:
        return
    start = clear[0]
    goal = [c for c in start["checkpoints"] if c["number"] == 0]
    check(goal and goal[0]["reached"], "the goal is reached")
    check(playing(game[0], GAME_MUSIC) and not playing(start, GAME_MUSIC), "the game music stops")
    check(start["clear_camera"] is not None and start["frame_count"] <= 1,
          "a clear camera and a fresh scene clock")
    check(all(f["clear_camera"] is None for f in game if f["phase"] != 2),
          "no clear camera outside the clear phase")
    check(all(g["turned"] == 0 for f in game if f["phase"] != 2 for g in f["gates"]),
          "gates never move before the clear phase")

    # Clear states 0 -> 1 -> 2 -> 3, in order.
    states = []
    for f in clear:
        if not states or states[-1] != f["player"]["clear_state"]:
            states.append(f["player"]["clear_state"])
    check(states == [0, 1, 2, 3] or states == [1, 2, 3], "clear states in order: %s" % states)
    placed = first(clear, lambda f: f["player"]["clear_state"] == 1)
    if placed:
        x, y, z = placed["player"]["position"]
        check(abs(x + 130.2) < 0.01 and abs(z - 122.3) < 0.01, "placed at the clear spot")
    # The camera holds 120 frames before its first swing.
    hold = [f for f in clear if f["clear_camera"]["wait_frames"] < 120]
    check(all(f["camera"] == clear[0]["camera"] for f in hold), "the clear camera holds first")
    walking = [f for f in clear if f["player"]["clear_state"] == 2]
    # 0.02 added up in single precision passes 1.0 on the 51st step.
    check(len(walking) == 51, "the walk to the goal lasts 51 frames (%d)" % len(walking))
    if walking:
        check(walking[0]["clear_camera"]["t"] == 1, "the walk starts when the first swing ends")
        end = first(clear, lambda f: f["player"]["clear_state"] == 3)
        x, _, z = end["player"]["position"]
        check(abs(x + 127.3) < 0.1 and abs(z - 127.3) < 0.1, "walked to the goal: %s" %
              end["player"]["position"])
    second = first(clear, lambda f: f["player"]["clear_count"] == 60)
    check(second is not None and second["clear_camera"]["t"] < 0.05,
          "the second swing starts when the count is 60")

    # Gates: allowed once, with the gate sound once; they swing 90 degrees and wobble.
    allowed = [f for f in clear if f["clear_message"]["gate_may_open"]]
    check(allowed and allowed[-1] is clear[-1], "the gates may open, for good")
    if allowed:
        check(playing(allowed[0], GATE_SOUND), "the gate sound plays when they may")
        before = [f for f in clear if f["frame"] < allowed[0]["frame"]]
        check(not any(playing(f, GATE_SOUND) for f in before), "and not before")
        check(all(g["turned"] == 0 for f in before for g in f["gates"]),
              "the gates wait for the clear camera")
    final = clear[-1]
    turns = sorted(g["turned"] for g in final["gates"]) if final["gates"] else []
    check(len(turns) == 2 and all(abs(abs(t) - 90) < 1 for t in turns),
          "both gates swing open: %s" % turns)
    # The clear picture: shown by the first gate to finish, it grows in 32 frames.
    shown = [f for f in clear if f["clear_message"]["shown"]]
    check(shown, "the clear picture is shown")
    if len(shown) > 33:
        scales = [f["clear_message"]["scale"] for f in shown[:34]]
        check(abs(scales[-1] - 2.11) < 0.02 and scales[-1] == scales[-2],
              "grows to 2.11 and stays: %s" % scales[-3:])
        check(any(f["clear_message"]["cell"] > 0 for f in shown), "the confetti plays")
    # Enter returns to the title with the button sound.
    enter = first(clear, lambda f: f["keys"][ENTER] == 1)
    check(enter is not None and playing(enter, BUTTON_SOUND),
          "Enter on the clear picture plays the button sound")
    check(frames[-1]["scene"] == 0, "and returns to the title")


if __name__ == "__main__":
    main()
    finish()
