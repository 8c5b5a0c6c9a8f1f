#!/usr/bin/env bash
# Start-up of the window program: the time from starting the process to its
# main window shown (with /nologo), and the resident memory of the idle
# program once the download dialog is up. On a real X server (Xvfb) when it is
# installed, else on Qt's offscreen platform.
#   bash bench/startup_bench.sh [PATH-TO-ZUL] [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
zul=$(realpath "${1:-build/release/zul}")
runs=${2:-7}
work=$(mktemp -d)
xvfb_pid=""
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -m 700 "$work/run"
export XDG_RUNTIME_DIR="$work/run" ZUL_REPORT_WINDOWS=1
platform=offscreen
if command -v Xvfb >/dev/null 2>&1; then
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
  export DISPLAY=":$(cat "$work/display")"
  platform=xcb
fi
export QT_QPA_PLATFORM=$platform

times=()
inside=()
rss=0
for i in $(seq "$runs"); do
  log="$work/zul-$i.log"
  # Every line the program reports is stamped as it arrives.
  : >"$log"
  start=$(date +%s%N)
  (cd "$work" && exec "$zul" --settings "$work/zultw.ini" -nologo) \
    2> >(while IFS= read -r line; do echo "$(date +%s%N) $line"; done >>"$log") &
  pid=$!
  shown=""
  for _ in $(seq 500); do
    shown=$(awk '/shown CMainFrame/ {print $1; exit}' "$log")
    [ -n "$shown" ] && break
    sleep 0.02
  done
  [ -n "$shown" ] || { echo "startup_bench: the main window did not appear" >&2; kill "$pid"; exit 1; }
  times+=($(( (shown - start) / 1000 )))
  inside+=($(awk '/shown CMainFrame/ {print $(NF-1); exit}' "$log"))
  if [ "$i" -eq "$runs" ]; then
    for _ in $(seq 500); do grep -q "shown CSetupInstructionsDlg" "$log" && break; sleep 0.01; done
    sleep 1
    rss=$(awk '/^VmRSS/ {print $2}' "/proc/$pid/status")
  fi
  kill "$pid"
  wait "$pid" 2>/dev/null || true
done
sorted=($(printf '%s\n' "${times[@]}" | sort -n))
median=${sorted[$(( runs / 2 ))]}
printf 'platform: %s, %d runs\n' "$platform" "$runs"
printf 'start to main window shown: median %d.%03d s (fastest %d.%03d s, slowest %d.%03d s)\n' \
  $((median / 1000000)) $(((median / 1000) % 1000)) \
  $((sorted[0] / 1000000)) $(((sorted[0] / 1000) % 1000)) \
  $((sorted[runs - 1] / 1000000)) $(((sorted[runs - 1] / 1000) % 1000))
insorted=($(printf '%s\n' "${inside[@]}" | sort -n))
printf '  of which after the program was loaded (Qt set up, start-up, window shown): median %d ms\n' \
  "${insorted[$(( runs / 2 ))]}"
printf 'resident memory, idle with the set-up instructions open: %d.%d MB\n' $((rss / 1024)) $(((rss % 1024) * 10 / 1024))
