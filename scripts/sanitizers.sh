#!/usr/bin/env bash
# The unit tests under AddressSanitizer + UndefinedBehaviorSanitizer with
# LeakSanitizer (build-asan/), then every fuzz target for 30 seconds from its
# corpus (build-fuzz/). Run after `make test` (the fuzz seeds come from build/).
# CI runs it after the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
start=$(date +%s)
step() { echo "sanitizers: $1 after $(( $(date +%s) - start )) s"; }

# Sanitizer reports end the test that made them. LeakSanitizer ignores only what
# Mesa's GL driver keeps for itself (tests/sanitizer/lsan.supp).
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS=suppressions=$root/tests/sanitizer/lsan.supp:print_suppressions=0
# SDL unloads Mesa's EGL library and its driver when the last window or context goes,
# before LeakSanitizer looks: what their globals still held then shows as leaked from
# "<unknown module>", and no suppression can name it. Loaded up front, both stay
# mapped to the end and their memory stays reachable.
libs=/usr/lib/$(gcc -print-multiarch)
for lib in "$libs/dri/swrast_dri.so" "$libs/libEGL_mesa.so.0"; do
  [ -f "$lib" ] && export LD_PRELOAD="${LD_PRELOAD:+$LD_PRELOAD:}$lib"
done
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGLOMP_SANITIZE=ON \
  -DGLOMP_WERROR=ON -DGLOMP_BUILD_BENCH=OFF \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build-asan -j"$(nproc)" -- --no-print-directory >/dev/null
# The whole-game replays (game_*) already ran above; under the sanitizers they
# would take most of CI's time and check nothing the unit tests do not.
(cd build-asan && ctest -j"$(nproc)" --output-on-failure -E '^game_')
step "sanitizer tests passed"

scripts/fuzz.sh --run-dir build --seconds 30
step "fuzz targets ran clean"
