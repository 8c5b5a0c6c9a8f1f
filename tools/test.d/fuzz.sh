#!/usr/bin/env bash
# Short fuzz run of the script reader, the statement parser, the settings file
# reader and the simulated tester's command lines: a clang build of its own in
# build/fuzz, a few seconds per target, seeded from fuzz/corpus. A crash, a
# sanitizer report or a broken check fails the run.
# Longer runs are for people: FUZZ_SECONDS=600 bash tools/test.d/fuzz.sh
set -euo pipefail
cd "$(dirname "$0")/../.."

seconds=${FUZZ_SECONDS:-5}
build=build/fuzz
targets=(profile_document parse_statement settings_file sim_command_line)

if ! command -v clang++ >/dev/null 2>&1; then
  echo "fuzz: clang++ is not installed (tools/setup.sh installs it)" >&2
  exit 1
fi

cmake -S . -B "$build" -G Ninja \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug \
  -DZUL_BUILD_FUZZ=ON -DZUL_BUILD_TESTS=OFF -DZUL_BUILD_CLI=OFF >/dev/null
cmake --build "$build" --target "${targets[@]/#/zul_fuzz_}"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for t in "${targets[@]}"; do
  # New inputs go to a scratch corpus; the checked-in seeds stay as they are.
  work="$build/corpus-$t"
  mkdir -p "$work"
  dict=()
  [ "$t" = parse_statement ] && dict=(-dict=fuzz/statement.dict)
  [ "$t" = sim_command_line ] && dict=(-dict=fuzz/command_line.dict)
  log="$build/fuzz-$t.log"
  echo "fuzz: $t for ${seconds}s"
  if ! "$build/fuzz/zul_fuzz_$t" "${dict[@]}" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -max_len=4096 -print_final_stats=1 -artifact_prefix="$build/crash-$t-" "$work" "fuzz/corpus/$t" >"$log" 2>&1; then
    tail -n 60 "$log" >&2
    echo "fuzz: $t failed; the input is in $build/crash-$t-*" >&2
    exit 1
  fi
  grep -E "^stat::number_of_executed_units" "$log" || true
done
echo "fuzz: clean"
