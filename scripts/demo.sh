#!/usr/bin/env bash
# make demo: the whole game played headless by tools/replay/playthrough.script,
# filmed. Writes BUILD/shots/frameNNNN.png (every fourth frame) and
# BUILD/shots/playthrough.webm (15 pictures a second, the game's pace), and
# says where they are. Usage: scripts/demo.sh BUILD_FOLDER
set -euo pipefail
build=$(cd "$1" && pwd)
source_dir=$(cd "$(dirname "$0")/.." && pwd)
shots="$build/shots"
frames=4760
every=4
bash "$source_dir/scripts/setup-deps.sh" demo
rm -rf "$shots"
mkdir -p "$shots"
shot_at=$(seq -s, 0 "$every" $((frames - 1)))
echo "demo: playing $frames frames headless (drawing every ${every}th)…"
(cd "$build" && ./replay --script "$source_dir/tools/replay/playthrough.script" \
  --frames "$frames" --draw shots --shots "$shots" --shot-at "$shot_at" \
  --log "$shots/playthrough.log" > "$shots/replay.txt" 2>&1)
echo "demo: making the video…"
ffmpeg -loglevel error -y -framerate $((60 / every)) -pattern_type glob -i "$shots/frame*.png" \
  -vf scale=640:-2 -c:v libvpx -b:v 1M -deadline realtime -cpu-used 8 "$shots/playthrough.webm"
echo "screenshots: $shots/"
echo "video: $shots/playthrough.webm"
