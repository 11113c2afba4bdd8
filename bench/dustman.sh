#!/usr/bin/env bash
# scripts/bench dustman [ROUNDS]: the leftover scan of a program with 20,000 files in 2,000 folders and a Start
# menu of 500 shortcuts, against a floor in the same run (one walk of the same trees, one resolution of each
# shortcut, one enumeration of the registry places). Ends with "dustman/floor ratio: X.XX" (goal 1.5 or less).
# The file tree stays in the prefix (C:\KxDustBench) unless KX_BENCH_CLEAN=1; the shortcuts, which every leftover
# test of the prefix would walk, are removed at the end.
set -euo pipefail
harness="$KX_ROOT/scripts/wine-harness --prefix $KX_WINEPREFIX"
cleanup() {
  rm -rf "$KX_WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/KxDustBench"
  [ "${KX_BENCH_CLEAN:-0}" = 1 ] && rm -rf "$KX_WINEPREFIX/drive_c/KxDustBench"
  return 0
}
trap cleanup EXIT
$harness run "$KX_BUILD/bench/dustman/dustman_bench.exe" "$@" 2>/dev/null | tr -d '\r'
