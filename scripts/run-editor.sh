#!/usr/bin/env bash
# Starts the editor, or explains why it cannot run here.
set -euo pipefail
binary=$1
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  echo "Quillmora Editor needs a graphical display, and none is set (no DISPLAY or WAYLAND_DISPLAY)." >&2
  echo "To try it without one, run:  xvfb-run -a $binary" >&2
  exit 1
fi
exec "$binary"
