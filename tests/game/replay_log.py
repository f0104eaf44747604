"""What the whole-game checks share: running ./replay on a key script and
reading its log, the checks themselves and the closing line ctest reads.
Run from the build folder (where replay, data/ and Shader/ are)."""
import json
import os
import subprocess
import sys

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def first(frames, predicate):
    return next((f for f in frames if predicate(f)), None)


def playing(frame, sound):
    # A frame's line is written after the sound manager has carried out its
    # requests, so a sound asked for in that frame is playing in it.
    return frame["sounds"][sound]["playing"]


def run_replay(folder, script_text, frames, run_folder=None):
    """Plays `script_text` for `frames` frames in `run_folder` (the build folder
    by default) and returns the log's frame lines. The checks read only the
    log, so no frame is drawn."""
    replay = os.path.abspath("./replay")
    if not os.path.exists(replay):
        sys.exit("replay is not built in " + os.getcwd())
    script = os.path.join(folder, "test.script")
    log = os.path.join(folder, "test.log")
    with open(script, "w") as f:
        f.write(script_text)
    with open(os.path.join(folder, "out.txt"), "w") as out:
        code = subprocess.call([replay, "--script", script, "--frames", str(frames), "--log", log,
                                "--draw", "shots"],
                               cwd=run_folder, stdout=out, stderr=subprocess.STDOUT)
    if code != 0:
        sys.exit("replay ended with %d" % code)
    with open(log) as f:
        return [line for line in map(json.loads, f) if "frame" in line]


def finish():
    for failure in failures:
        print("FAILED:", failure)
    print("%d passed, %d failed" % (0 if failures else 1, 1 if failures else 0))
    sys.exit(1 if failures else 0)
