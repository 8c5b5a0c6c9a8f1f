#!/usr/bin/env bash
# The window program on a real X server (Xvfb): the main window is mapped,
# and half a second later the download dialog is mapped over it; a second
# start ends at once with 0, leaves one copy running and brings that copy's
# open dialog to the front.
# Usage: x11_windows_test.sh PATH-TO-ZUL
set -euo pipefail
zul=$(realpath "$1")
work=$(mktemp -d)
xvfb_pid=""
zul_pid=""
cleanup() {
  [ -n "$zul_pid" ] && kill "$zul_pid" 2>/dev/null && wait "$zul_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "x11 test: $*" >&2; exit 1; }

# A display number of Xvfb's own choosing, written to a file when it is ready.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
[ -s "$work/display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$(cat "$work/display")"
export QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work/run"
unset WAYLAND_DISPLAY
mkdir -m 700 "$work/run"

# Is a top-level window with this exact title mapped and viewable?
viewable() { xwininfo -name "$1" 2>/dev/null | grep -q "Map State: IsViewable"; }
wait_viewable() {
  for _ in $(seq 200); do viewable "$1" && return 0; sleep 0.05; done
  return 1
}

(cd "$work" && ZUL_REPORT_WINDOWS=1 exec "$zul" --settings "$work/zultw.ini" -nologo) >"$work/zul.log" 2>&1 &
zul_pid=$!
wait_viewable "ZUL for KVR 7700" || fail "the main window did not appear: $(cat "$work/zul.log")"
wait_viewable "Download" || fail "the download dialog did not appear: $(cat "$work/zul.log")"
kill -0 "$zul_pid" || fail "zul ended"

start=$(date +%s%N)
(cd "$work" && "$zul" --settings "$work/zultw.ini" -nologo) || fail "the second start ended with $?"
elapsed=$(( ($(date +%s%N) - start) / 1000000 ))
[ "$elapsed" -lt 8000 ] || fail "the second start took ${elapsed} ms"
kill -0 "$zul_pid" || fail "the first copy ended"
# The running copy brought its open dialog to the front.
for _ in $(seq 100); do grep -q "activated by another start: CDownloadDlg in front" "$work/zul.log" && break; sleep 0.05; done
grep -q "activated by another start: CDownloadDlg in front" "$work/zul.log" || fail "the first copy was not activated: $(cat "$work/zul.log")"
echo "x11 test: main window and download dialog mapped; second start ended in ${elapsed} ms"
