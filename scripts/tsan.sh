#!/usr/bin/env bash
# The scene and loader tests under ThreadSanitizer (build-tsan/): the loader
# thread builds scenes, textures, meshes and effects while the main thread draws,
# and the sound device mixes on a thread of its own.
#
#   scripts/tsan.sh [TEST...]     (default: every test named below)
#
# Stops at the first test that fails or that ThreadSanitizer reports on.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
tests=("$@")
[ ${#tests[@]} -gt 0 ] || tests=(test_scene test_scene_title test_content test_stage
                                 test_platform_tex test_platform_xfile test_app_sound)

cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGLOMP_TSAN=ON \
  -DGLOMP_BUILD_BENCH=OFF -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
# The tests read the built content (data/, Shader/); the scene tests run replay and
# the content tests xinfo.
cmake --build build-tsan -j"${JOBS:-2}" --target content effects replay xinfo "${tests[@]}" \
  -- --no-print-directory >/dev/null

export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$root/tests/sanitizer/tsan.supp"
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy ALSOFT_DRIVERS=null GLOMP_HEADLESS=1
cd build-tsan
for test in "${tests[@]}"; do
  echo "tsan: $test"
  ./"$test" --gtest_brief=1
done
echo "tsan: ${#tests[@]} tests clean"
