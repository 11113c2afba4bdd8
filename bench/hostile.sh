#!/usr/bin/env bash
# scripts/bench hostile [N] [ROUNDS]: a machine of N (default 1000) Uninstall entries, a third well-formed and
# the rest hostile (wrong value types, no terminator, 0 or 64 KB of data, odd GUID-shaped and long key names,
# paths of 259 and 300+ characters), listed through KxUninst.dll in child processes: without a cache, from
# the cache, after Refresh, ROUNDS (default 2) times. Ends with "hostile registry: N entries, C crashes,
# M listed". The entries and the folder C:\KxHostile are removed again on every exit.
set -euo pipefail
: "${KX_ROOT:?run through scripts/bench}" "${KX_BUILD:?}" "${KX_WINEPREFIX:?}"
harness="$KX_ROOT/scripts/wine-harness"
exe="$KX_BUILD/bench/hostile/hostile_bench.exe"
n=${1:-1000}
rounds=${2:-2}
work="$KX_WINEPREFIX/drive_c/KxHostile"

cleanup() {
  "$harness" run "$exe" remove >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

cleanup
mkdir -p "$work/cache"
"$harness" run "$exe" write "$n" 'C:\KxHostile' | tr -d '\r'
# The component reports each cache file it reads on standard output; that line is not the benchmark's.
"$harness" run "$exe" run "$n" 'C:\KxHostile' "$rounds" | tr -d '\r' | grep -v '^protocol version'
