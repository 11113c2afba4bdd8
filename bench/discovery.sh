#!/usr/bin/env bash
# Discovery benchmark: a synthetic machine of N Uninstall entries (HKLM and HKCU) whose install folders hold M
# files in total, then CreateUnItemInside, a bare floor and Wine's "uninstaller --list", timed in one run.
#   scripts/bench discovery [N] [M] [ROUNDS]     (defaults 500, 100000, 3)
# The file tree stays in the prefix (C:\KxBench) for the next run unless KX_BENCH_CLEAN=1; the registry
# entries are always removed again, so the tests never see them.
set -euo pipefail
n=${1:-500}
m=${2:-100000}
rounds=${3:-3}
harness="$KX_ROOT/scripts/wine-harness --prefix $KX_WINEPREFIX"
work=$(mktemp -d)
cleanup() {
  $harness run regedit /S "$(winepath_of "$work/remove.reg")" >/dev/null 2>&1 || true
  [ "${KX_BENCH_CLEAN:-0}" = 1 ] && rm -rf "$KX_WINEPREFIX/drive_c/KxBench"
  rm -rf "$work"
}
winepath_of() { echo "Z:${1//\//\\}"; }
trap cleanup EXIT

start=$(date +%s)
python3 "$KX_ROOT/bench/gen_discovery.py" "$KX_WINEPREFIX" "$n" "$m" "$work/add.reg" "$work/remove.reg"
$harness run regedit /S "$(winepath_of "$work/add.reg")" >/dev/null 2>&1
echo "generated $n entries, $m files in $(( $(date +%s) - start )) s"
$harness run "$KX_BUILD/bench/discovery/discovery_bench.exe" "$rounds" 2>/dev/null | tr -d '\r'
