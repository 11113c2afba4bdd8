#!/usr/bin/env bash
# scripts/bench jobwait [RUNS]: the time from the last process of the job ending to WaitForAllProcess returning,
# over RUNS uninstalls (default 20), beside a direct wait on the same child's process handle, in one run.
# Ends with "jobwait latency p95: N ms" (two polls of 100 ms or less is the goal).
set -euo pipefail
"$KX_ROOT/scripts/wine-harness" run "$KX_BUILD/bench/jobwait/jobwait_bench.exe" "$@" 2>/dev/null | tr -d '\r'
