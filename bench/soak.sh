#!/usr/bin/env bash
# scripts/bench soak [CYCLES]: CYCLES (default 500) cycles of create, Init, list ready, Uninit and Release of one
# component in one process, on a machine of KX_SOAK_PROGRAMS (default 100) programs of its own, with reads from
# the host thread's loop while the worker builds. Prints handles, threads and committed memory after cycle 10
# and after the last; ends with "soak: N cycles, handles +X, threads +Y, 0 deadlocks". The entries and the
# folder C:\KxSoak are removed again on every exit.
set -euo pipefail
: "${KX_ROOT:?run through scripts/bench}" "${KX_BUILD:?}" "${KX_WINEPREFIX:?}"
harness="$KX_ROOT/scripts/wine-harness"
exe="$KX_BUILD/bench/soak/soak_bench.exe"
cycles=${1:-500}
programs=${KX_SOAK_PROGRAMS:-100}
work="$KX_WINEPREFIX/drive_c/KxSoak"

cleanup() {
  "$harness" run "$exe" remove >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

cleanup
mkdir -p "$work/cache"
"$harness" run "$exe" populate "$programs" 'C:\KxSoak\apps' | tr -d '\r'
# The component reports each cache file it reads on standard output; that line is not the benchmark's.
"$harness" run "$exe" run "$cycles" 'C:\KxSoak\cache' | tr -d '\r' | grep -v '^protocol version'
