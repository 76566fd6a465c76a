#!/usr/bin/env bash
# Starts the real editor in a virtual X server and checks it as a user would
# see it: the window title, ink in the picture area, and Escape quitting.
# Usage: smoke-test.sh EDITOR XWD_INK_TOOL ARTEFACT_DIR
set -euo pipefail
editor=$1 ink=$2 out=${3:-/tmp}
# The editor must show a real window, whatever platform the caller chose for
# the widget tests.
unset QT_QPA_PLATFORM
expected="Quillmora Editor 1.0 - [unbenannt.qmt]"

run() {
  "$editor" &
  pid=$!
  trap 'kill $pid 2>/dev/null || true' EXIT
  local wid
  wid=$(timeout 60 xdotool search --sync --onlyvisible --name 'Quillmora Editor' | head -n1)
  [[ -n "$wid" ]] || { echo "FAIL: no editor window appeared"; return 1; }
  local title
  title=$(xdotool getwindowname "$wid")
  [[ "$title" == "$expected" ]] || { echo "FAIL: title is '$title'"; return 1; }
  sleep 2
  xwd -id "$wid" -silent > "$out/smoke.xwd"
  # The picture area lies below the menu bar and the 129-pixel button panel.
  local dark
  dark=$("$ink" "$out/smoke.xwd" 0 170 780 330)
  echo "dark pixels in the picture area: $dark"
  (( dark > 300 )) || { echo "FAIL: the formula is not visible"; return 1; }
  xdotool windowfocus --sync "$wid"
  xdotool key --clearmodifiers Escape
  local status=0
  timeout 30 tail --pid="$pid" -f /dev/null || { echo "FAIL: Escape did not end the editor"; return 1; }
  wait "$pid" || status=$?
  trap - EXIT
  [[ $status -eq 0 ]] || { echo "FAIL: exit status $status"; return 1; }
  echo "smoke test passed"
}

if [[ "${QM_SMOKE_INSIDE:-}" == 1 ]]; then
  run
else
  QM_SMOKE_INSIDE=1 exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
fi
