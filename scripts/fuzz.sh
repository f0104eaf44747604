#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer + UndefinedBehaviorSanitizer),
# makes each one's seed corpus from the game's content and runs them one after another.
#
#   scripts/fuzz.sh [--build DIR] [--run-dir DIR] [--runs N | --seconds S] [TARGET...]
#
#   --build DIR    the fuzz build folder (default build-fuzz)
#   --run-dir DIR  a built game folder with data/ and Shader/ (default build): the seeds
#                  come from there, and the targets run there (the stage target reads
#                  the real models)
#   --runs N       executions per target (default 2000000)
#   --seconds S    run each target for S seconds instead
#   --jobs J       run each target in J processes at once (libFuzzer's fork mode:
#                  the executions and the corpus are counted and kept across them)
#   TARGET         xfile texture icon wave stage effect (default: all)
#
# The corpus of each target grows in DIR/corpus/TARGET; findings land in
# DIR/findings/TARGET. The exit code is not 0 when any target found something.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=build-fuzz
run_dir=build
limit=(-runs=2000000)
targets=()
fork=()
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build=$2; shift 2 ;;
    --run-dir) run_dir=$2; shift 2 ;;
    --runs) limit=(-runs="$2"); shift 2 ;;
    --seconds) limit=(-max_total_time="$2"); shift 2 ;;
    --jobs) fork=(-fork="$2"); shift 2 ;;
    -*) echo "fuzz.sh: unknown option $1" >&2; exit 2 ;;
    *) targets+=("$1"); shift ;;
  esac
done
[ ${#targets[@]} -gt 0 ] || targets=(xfile texture icon wave stage effect)
build=$(realpath -m "$build")
run_dir=$(realpath "$run_dir")
[ -d "$run_dir/data" ] || { echo "fuzz.sh: $run_dir/data is missing: build the game first" >&2; exit 2; }

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGLOMP_FUZZ=ON \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DGLOMP_BUILD_TESTS=OFF -DGLOMP_BUILD_BENCH=OFF -DGLOMP_WERROR=ON >/dev/null
fi
cmake --build "$build" --target fuzz -j"${JOBS:-2}" -- --no-print-directory >/dev/null

# The content each target starts from: what the game itself reads.
seed_files() {
  local data=$run_dir/data
  case "$1" in
    # Models up to 16 KB (the slime is skinned in fuzz/corpus/xfile/skin.x): a large text
    # file makes every execution slow and its mutations are no more telling.
    xfile) find "$data/model" -name '*.x' -size -16k ;;
    # Small pictures: a 2048 x 1024 one takes seconds under the sanitizers, and
    # the inputs stay within 16 KB (below), as the small cube maps of
    # fuzz/corpus/texture do.
    texture) find "$data" -iname '*.png' -size -16k; find "$data" -iname '*.dds' -size -16k ;;
    icon) find "$data/icon" -iname '*.ico' ;;
    # Short effects only: long music tracks make every execution slow.
    wave) find "$data/sound" -iname '*.wav' -size -64k ;;
    stage) find "$data/csv" -name '*.csv' ;;
    effect) find "$run_dir/Shader" -name '*.fx' ;;
  esac
}

# Seconds one input may take: the stage loads the game's real models (all of them
# again whenever the target starts its model cache afresh), pictures may be large.
input_timeout() {
  case "$1" in
    stage) echo 30 ;;
    texture) echo 15 ;;
    *) echo 5 ;;
  esac
}

status=0
for target in "${targets[@]}"; do
  corpus=$build/corpus/$target
  findings=$build/findings/$target
  mkdir -p "$corpus" "$findings"
  # Seeds are named by their content, so copying them again adds nothing.
  while IFS= read -r file; do
    cp "$file" "$corpus/seed-$(sha1sum "$file" | cut -c1-16)"
  done < <(seed_files "$target"; [ -d "$root/fuzz/corpus/$target" ] && find "$root/fuzz/corpus/$target" -type f)
  # Inputs up to 16 KB: every header, chunk and decoder path is reached with small
  # files, and a longer one mostly claims more pixels, each input then taking
  # seconds of decoding and resampling (a TGA run packs 64 pixels into a byte).
  length=()
  case "$target" in xfile|texture) length=(-max_len=16384) ;; esac
  dict=()
  [ -f "$root/fuzz/$target.dict" ] && dict=(-dict="$root/fuzz/$target.dict")
  echo "fuzz: $target (${limit[*]}${fork:+ ${fork[*]}}, $(ls "$corpus" | wc -l) inputs in the corpus)"
  # Longer than input_timeout is a hang; 1 GB in one allocation is an allocation the
  # input claimed rather than carried (the largest picture the device takes is 8192 x 8192).
  if ! (cd "$run_dir" && nice -n 10 "$build/fuzz_$target" "${limit[@]}" "${dict[@]}" "${length[@]}" "${fork[@]}" \
          -timeout="$(input_timeout "$target")" -rss_limit_mb=3072 -malloc_limit_mb=1024 -print_final_stats=1 \
          -artifact_prefix="$findings/" "$corpus" 2>"$build/fuzz_$target.log"); then
    echo "fuzz: $target FOUND something: see $build/fuzz_$target.log and $findings/" >&2
    tail -40 "$build/fuzz_$target.log" >&2
    status=1
  fi
  grep -E '^stat::number_of_executed_units|^Done [0-9]+ runs|^INFO: fuzzed for' "$build/fuzz_$target.log" || true
done
exit $status
