#!/usr/bin/env bash
# The window program on a real X server (Xvfb): the main window is mapped,
# and half a second later the set-up instructions over it; a second start
# ends at once with 0, leaves one copy running and brings that copy's open
# dialog to the front. Then a whole download into the simulated tester,
# driven by keys only: instructions, application list, confirmation, the
# script's message, progress with the title, the report, and Escape.
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

(cd "$work" && ZUL_REPORT_WINDOWS=1 exec "$zul" --settings "$work/zultw.ini" -nologo --simulate) >"$work/zul.log" 2>&1 &
zul_pid=$!
wait_viewable "ZUL for KVR 7700" || fail "the main window did not appear: $(cat "$work/zul.log")"
wait_viewable "Set up KVR 7700 for Download" || fail "the set-up instructions did not appear: $(cat "$work/zul.log")"
kill -0 "$zul_pid" || fail "zul ended"

start=$(date +%s%N)
(cd "$work" && "$zul" --settings "$work/zultw.ini" -nologo) || fail "the second start ended with $?"
elapsed=$(( ($(date +%s%N) - start) / 1000000 ))
[ "$elapsed" -lt 8000 ] || fail "the second start took ${elapsed} ms"
kill -0 "$zul_pid" || fail "the first copy ended"
# The running copy brought its open dialog to the front.
for _ in $(seq 100); do grep -q "activated by another start: CSetupInstructionsDlg in front" "$work/zul.log" && break; sleep 0.05; done
grep -q "activated by another start: CSetupInstructionsDlg in front" "$work/zul.log" || fail "the first copy was not activated: $(cat "$work/zul.log")"

# Keys go to the window that has the focus, as on a desktop; with no window
# manager here, the focus is given to the window named first.
press() { # TITLE KEY...
  local title=$1; shift
  wait_viewable "$title" || fail "\"$title\" did not appear: $(cat "$work/zul.log")"
  local id
  id=$(xwininfo -name "$title" | awk '/Window id:/ {print $4}')
  xdotool windowfocus --sync "$id" 2>/dev/null || xdotool windowfocus "$id"
  xdotool key --delay 60 "$@"
}
gone() { for _ in $(seq 200); do viewable "$1" || return 0; sleep 0.05; done; return 1; }
title_seen() { xwininfo -root -tree 2>/dev/null | grep -q "$1"; }

press "Set up KVR 7700 for Download" Return
wait_viewable "Select Application(s) to Download" || fail "the application list did not appear: $(cat "$work/zul.log")"
# Type-ahead picks the row, Enter presses Download, Enter confirms.
press "Select Application(s) to Download" D e m o space F
press "Select Application(s) to Download" Return
press "Confirm Download" Return
press "Message" Return
wait_viewable "Download Progress" || fail "the progress dialog did not appear: $(cat "$work/zul.log")"
for _ in $(seq 400); do title_seen '"ZUL - Downloading (' && break; sleep 0.05; done
title_seen '"ZUL - Downloading (' || fail "the main window's title did not show the progress"
# The whole application at the line's pace takes several seconds.
for _ in $(seq 1200); do viewable "Download Status" && break; sleep 0.05; done
press "Download Status" Return
gone "Download Progress" || fail "the progress dialog stayed"
for _ in $(seq 100); do title_seen '"ZUL for KVR 7700"' && break; sleep 0.05; done
title_seen '"ZUL for KVR 7700"' || fail "the main window's title did not come back"
press "Select Application(s) to Download" Escape
gone "Select Application(s) to Download" || fail "Escape did not close the download dialog"
kill -0 "$zul_pid" || fail "zul ended"
echo "x11 test: main window and instructions mapped; second start ended in ${elapsed} ms; a download driven by keys completed"
