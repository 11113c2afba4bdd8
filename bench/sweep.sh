#!/usr/bin/env bash
# scripts/bench sweep [ROUNDS]: the forced sweep of 2,000 leftover files and 200 registry values through the
# component's sweep task and its guard, against a floor in the same run (the same shell deletion requests issued
# directly for the same files, and the same registry value deletions). Ends with "sweep/floor ratio: X.XX"
# (goal 1.2 or less). The tree (C:\KxSweepBench) is removed at the end.
set -euo pipefail
cleanup() {
  rm -rf "$KX_WINEPREFIX/drive_c/KxSweepBench"
  return 0
}
trap cleanup EXIT
"$KX_ROOT/scripts/wine-harness" --prefix "$KX_WINEPREFIX" run "$KX_BUILD/bench/sweep/sweep_bench.exe" "$@" | tr -d '\r'
