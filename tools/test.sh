#!/usr/bin/env bash
# Sets up, builds and runs every test: the normal build (warnings are errors),
# the AddressSanitizer + UndefinedBehaviorSanitizer build, and the extra checks
# that later parts of the project hook in below.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh

jobs=$(nproc)
export CTEST_OUTPUT_ON_FAILURE=1

echo "== normal build"
bash tools/build.sh release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZUL_WERROR=ON -DZUL_BUILD_GUI=ON
ctest --test-dir build/release -j"$jobs"

echo "== sanitizer build"
bash tools/build.sh asan -DCMAKE_BUILD_TYPE=Debug -DZUL_WERROR=ON -DZUL_SANITIZE=ON -DZUL_BUILD_GUI=ON
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build/asan -j"$jobs"

for extra in tools/test.d/*.sh; do
  [ -e "$extra" ] || continue
  echo "== $(basename "$extra" .sh)"
  bash "$extra"
done
echo "all tests passed"
