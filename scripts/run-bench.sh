#!/usr/bin/env bash
# Runs every benchmark executable in the given folder.
set -euo pipefail
dir=$1
status=0
for exe in "$dir"/bench_*; do
  [[ -f "$exe" && -x "$exe" ]] || continue
  echo "== $(basename "$exe")"
  QT_QPA_PLATFORM=offscreen "$exe" --benchmark_counters_tabular=true || status=1
done
exit $status
