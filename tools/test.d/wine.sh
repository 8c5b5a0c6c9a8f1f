#!/usr/bin/env bash
# Runs the Windows build (cross-built by mingw.sh) under Wine against the
# natively built simulated tester and pseudo-terminal far ends, and fails on
# any difference from the Linux build: settings, list and check, decode and
# encode, the loopback test, downloads of the demo applications byte for byte
# (--trace), simulated tester faults, the port lock and the port listing.
# Ends with the Windows download benchmark line.
#   bash tools/test.d/wine.sh          checks, then the benchmark
#   bash tools/test.d/wine.sh bench    the benchmark alone
# Needs the normal build (build/release) and the cross build (build/mingw).
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
mode=${1:-all}
native=$root/build/release
cross=$root/build/mingw
work=$root/build/wine
run=$work/run

fail() {
  echo "wine: $*" >&2
  exit 1
}

for tool in wine wineserver wineboot; do
  command -v "$tool" >/dev/null 2>&1 || fail "$tool is not installed (tools/setup.sh installs wine and wine64)"
done
[ -x "$native/zul-cli" ] || fail "no native build in $native (the test command builds it first)"
for exe in zul-cli.exe tests/wine/zul_win32_checks.exe bench/zul_download_bench.exe; do
  [ -f "$cross/$exe" ] || fail "no $cross/$exe (tools/test.d/mingw.sh builds it)"
done

# The native helpers: the far ends of the loopback test and the benchmark.
cmake -S . -B "$native" -DZUL_BUILD_BENCH=ON >/dev/null
cmake --build "$native" --target zul-cli zul_demo_apps zul_pty_far_end zul_download_bench >/dev/null

# A Wine prefix of our own. The server and Wine's services start once with
# their output discarded: the services would otherwise inherit the standard
# output of the first program and hold its pipe open.
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEARCH=win64
# No Mono or Gecko: nothing here needs them, and their installers would ask.
export WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$work"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "wine: creating the prefix"
  timeout 180 wineboot -i </dev/null >/dev/null 2>&1 || fail "wineboot failed"
fi
# The server stays up until the end: each new start of Wine's services would
# point COM1 to COM4 at /dev/ttyS0 to /dev/ttyS3 again.
timeout 30 wineserver -k </dev/null >/dev/null 2>&1 || true
timeout 30 wineserver -p </dev/null >/dev/null 2>&1 || fail "the Wine server does not start"
timeout 120 wine cmd /c exit </dev/null >/dev/null 2>&1 || fail "wine does not start"

pids=()
cleanup() {
  local status=$?
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  timeout 30 wineserver -k >/dev/null 2>&1 || true
  exit "$status"
}
trap cleanup EXIT

rm -rf "$run"
mkdir -p "$run/lin" "$run/win"
cp "$native/zul-cli" "$run/lin/"
cp "$cross/zul-cli.exe" "$run/win/"
cp -r "$native/Apps" "$run/lin/"
cp -r "$native/Apps" "$run/win/"
lin=$run/lin/zul-cli
winpath() { echo "Z:${1//\//\\}"; }

# zul-cli.exe under Wine, in directory $1 (the copy there when it has one),
# with standard output and error together and the line ends of the Linux build.
wcli() {
  local dir=$1; shift
  local exe=$run/win/zul-cli.exe
  [ -f "$dir/zul-cli.exe" ] && exe=$dir/zul-cli.exe
  (cd "$dir" && timeout 120 wine "$exe" "$@" 2>&1 </dev/null) | tr -d '\r'
  return "${PIPESTATUS[0]}"
}
lcli() {
  local dir=$1; shift
  (cd "$dir" && timeout 120 "$lin" "$@" 2>&1 </dev/null)
}
# Paths as the Linux build spells them.
unixify() { sed -e 's#Z:\\#/#g' -e 's#\\#/#g'; }

same() {
  local what=$1 expected=$2 actual=$3
  if [ "$expected" != "$actual" ]; then
    echo "wine: $what differs from the Linux build:" >&2
    diff <(echo "$expected") <(echo "$actual") >&2 || true
    exit 1
  fi
  echo "wine: $what: same"
}

waitfor() {
  timeout 20 bash -c "until [ -e '$1' ]; do sleep 0.05; done" || fail "$1 did not appear"
}

# COM$1 of the prefix leads wherever $2 leads.
com() {
  ln -sfn "$2" "$WINEPREFIX/dosdevices/com$1"
  [ "$(readlink "$WINEPREFIX/dosdevices/com$1")" = "$2" ] || fail "COM$1 of the Wine prefix was changed"
}

# Starts a far end in the background: far LINK KIND...
far() {
  local link=$1; shift
  rm -f "$link"
  "$native/tests/zul_pty_far_end" "$@" "$link" 300 >"$link.log" 2>&1 &
  pids+=($!)
  waitfor "$link"
}
# Starts a simulated tester in the background: tester LINK [FAULT...]
tester() {
  local link=$1; shift
  local faults=()
  for f in "$@"; do faults+=(--fault "$f"); done
  rm -f "$link"
  timeout 300 "$native/zul-cli" simulate --timing fast "${faults[@]}" --link "$link" >"$link.log" 2>&1 &
  pids+=($!)
  waitfor "$link"
}
stop_all() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  pids=()
}

benchmark() {
  far_link=$run/bench.link
  rm -f "$far_link"
  "$native/bench/zul_download_bench" --far-end "$far_link" --seconds 240 >"$run/bench-far.log" 2>&1 &
  local far_pid=$!
  pids+=($far_pid)
  waitfor "$far_link"
  com 1 "$far_link"
  echo "wine: Windows download benchmark (zul_download_bench.exe under Wine, far end native)"
  (cd "$run" && timeout 240 wine "$cross/bench/zul_download_bench.exe" --port 1 </dev/null 2>&1) | tr -d '\r' ||
    fail "the Windows benchmark failed"
  timeout 30 tail --pid="$far_pid" -f /dev/null || true
  grep "image in the tester" "$run/bench-far.log" || fail "the far end did not report"
  grep -q "intact" "$run/bench-far.log" || fail "the image did not arrive intact"
  stop_all
}

if [ "$mode" = bench ]; then
  benchmark
  exit 0
fi

# --- Settings: beside the program, and in the temporary directory when the
# program's folder cannot hold the file.
same "settings" "$(lcli "$run/lin" settings | sed "s#$run/lin#DIR#g")" \
  "$(wcli "$run/win" settings | sed "s#$(winpath "$run/win" | sed 's#\\#\\\\#g')#DIR#g" | unixify)"
[ -f "$run/win/zultw.ini" ] || fail "the settings file is not beside the program"
mkdir -p "$run/win-ro" && cp "$run/win/zul-cli.exe" "$run/win-ro/" && mkdir "$run/win-ro/zultw.ini"
temp=$(timeout 60 wine cmd /c 'echo %TEMP%' </dev/null 2>/dev/null | tr -d '\r')
shown=$(wcli "$run/win-ro" settings | sed -n 's/^settings file = //p')
[ "$shown" = "$temp\\zultw.ini" ] || fail "with the program's folder unusable the settings file is $shown, not in $temp"
echo "wine: settings in the temporary directory: $shown"

# --- List and check, with the directory as a Windows and as a POSIX path.
apps=$run/lin/Apps
for cmd in list "check" "check Demo RAM Loader"; do
  read -ra words <<<"$cmd"
  name=()
  [ ${#words[@]} -gt 1 ] && name=("${words[*]:1}")
  # Warnings name the settings file, which each build keeps beside itself.
  expected=$(lcli "$run/lin" "${words[0]}" --dir "$apps" "${name[@]}" | sed "s#$run/lin/zultw.ini#SETTINGS#g")
  same "${words[0]} ${name[*]} (Z:\\ path)" "$expected" \
    "$(wcli "$run/win" "${words[0]}" --dir "$(winpath "$apps")" "${name[@]}" | unixify | sed "s#$run/win/zultw.ini#SETTINGS#g")"
  same "${words[0]} ${name[*]} (POSIX path)" "$expected" \
    "$(wcli "$run/win" "${words[0]}" --dir "$apps" "${name[@]}" | unixify | sed "s#$run/win/zultw.ini#SETTINGS#g")"
done

# --- Decode and encode: the same text as the Linux build, and back to the
# same bytes.
for script in "$apps"/*.qob; do
  base=$(basename "$script" .qob)
  lcli "$run/lin" decode "$script" -o "$run/lin/$base.txt" >/dev/null
  wcli "$run/win" decode "$(winpath "$script")" -o "$base.txt" >/dev/null
  cmp -s "$run/lin/$base.txt" "$run/win/$base.txt" || fail "decode of $base.qob differs from the Linux build"
  wcli "$run/win" encode "$base.txt" -o "$base.qob" >/dev/null
  cmp -s "$script" "$run/win/$base.qob" || fail "encode of $base.txt does not give $base.qob back"
done
echo "wine: decode and encode: same, round trip exact"

# --- The loopback test: an echoing end passes, a dropping and a silent one fail.
for kind in echo drop=80 silent; do
  far "$run/far-$kind" "$kind"
  com 1 "$run/far-$kind"
  set +e
  lout=$(lcli "$run/lin" --device "$run/far-$kind" test-port --yes); lrc=$?
  wout=$(wcli "$run/win" --port 1 test-port --yes); wrc=$?
  set -e
  same "test-port on a far end that does $kind" "$lout (exit $lrc)" "$wout (exit $wrc)"
  case $kind in
    echo) [ "$wrc" = 0 ] || fail "the loopback test fails on an echoing end" ;;
    *) [ "$wrc" = 1 ] || fail "the loopback test does not fail on a far end that does $kind" ;;
  esac
  stop_all
done

# --- Open failures: a missing port named once, a file that is not a port,
# and the port lock between two processes.
rm -f "$WINEPREFIX/dosdevices/com5"
set +e
out=$(wcli "$run/win" --port 5 test-port --yes)
set -e
echo "$out" | grep -qx "COM5: no such device." || fail "a missing COM5 is not reported once by name: $out"
echo "plain text" >"$run/plain.txt"
set +e
lout=$(lcli "$run/lin" --device "$run/plain.txt" identify); lrc=$?
wout=$(wcli "$run/win" --device "$(winpath "$run/plain.txt")" identify | unixify); wrc=$?
set -e
same "identify on a file that is not a port" "$lout (exit $lrc)" "$wout (exit $wrc)"
echo "$wout" | grep -q "not a serial device" || fail "no reason for a file that is not a port: $wout"
far "$run/far-hold" silent
com 1 "$run/far-hold"
(cd "$run/win" && timeout 120 wine "$cross/tests/wine/zul_win32_checks.exe" "$(winpath "$run/plain.txt")" </dev/null 2>&1) |
  tr -d '\r' || fail "the Windows port checks failed"
stop_all

# --- The port listing gives no advice that the Windows build ignores (the
# advice itself is among the port checks above: Wine lists only the ports it
# found when its services started).
out=$(wcli "$run/win" ports)
echo "$out" | grep -q '^COM10 ' || fail "ports does not list COM10: $out"
echo "$out" | grep -q 'Devices' && fail "ports advises the settings file, which the Windows build ignores: $out"
echo "wine: ports"

# --- Downloads: every demo application, and a few tester faults, on both
# builds at once, each against a simulated tester of its own. The byte
# streams (--trace) must be equal: what was sent, with the line changes, in
# order; and what was received.
trace_sent() { tr -d '\r' <"$1" | awk '{ d = $5; line = $0
  sub(/^ *[^ ]+ +[^ ]+ ms +[^ ]+ /, "", line); sub(/  \|.*$/, "", line)
  if (d != "RX") print $4, line }'; }
trace_received() { tr -d '\r' <"$1" | awk '$5 == "RX" { line = $0
  sub(/^ *[^ ]+ +[^ ]+ ms +[^ ]+ RX /, "", line); sub(/  \|.*$/, "", line); print line }' | tr -s ' ' '\n' | grep -v '^$' || true; }
# What the user reads, without the figures that depend on timing, and with
# the file being downloaded by its name (the status line shortens a long
# path the way each platform's paths allow).
screen() { unixify | grep -v '^file ' | sed -E 's/in [0-9]+ seconds/in N seconds/; s#^(Downloading: ).*/#\1#'; }

download() {
  local label=$1 app=$2; shift 2
  tester "$run/sim-lin" "$@"
  tester "$run/sim-win" "$@"
  com 1 "$run/sim-win"
  (cd "$run/lin" && rc=0 && { timeout 240 "$lin" --device "$run/sim-lin" download --yes --trace "$run/lin/trace" \
    "$app" >"$run/lin/out" 2>&1 </dev/null || rc=$?; } && echo "$rc" >"$run/lin/rc") &
  local lpid=$!
  set +e
  wcli "$run/win" --port 1 download --yes --trace trace "$app" >"$run/win/out"; local wrc=$?
  set -e
  wait "$lpid" || true
  stop_all
  local lrc
  lrc=$(cat "$run/lin/rc")
  rm -f "$run/lin/rc"
  same "$label: messages" "$(screen <"$run/lin/out") (exit $lrc)" "$(screen <"$run/win/out") (exit $wrc)"
  same "$label: bytes sent" "$(trace_sent "$run/lin/trace")" "$(trace_sent "$run/win/trace")"
  same "$label: bytes received" "$(trace_received "$run/lin/trace")" "$(trace_received "$run/win/trace")"
  last_exit=$wrc
}

for app in "Demo RAM Loader" "Demo Program Card" "Demo Flash Update"; do
  download "download of $app" "$app"
  [ "$last_exit" = 0 ] || fail "the download of $app did not complete"
done
for fault in wrong-id refuse-block@3 erase-error cable-pull@5; do
  app="Demo RAM Loader"
  [ "$fault" = erase-error ] && app="Demo Program Card"
  download "fault $fault" "$app" "$fault"
  [ "$last_exit" = 1 ] || fail "fault $fault did not end the download with a failure"
done

benchmark
echo "wine: all checks passed"
