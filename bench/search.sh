#!/usr/bin/env bash
# scripts/bench search: a name search that needs the pinyin pass against the substring pass alone, over the same
# 10,000-program list, in one run. Extra arguments go to the program (--repeat N, --query TEXT).
set -euo pipefail
"$KX_ROOT/scripts/wine-harness" run "$KX_BUILD/bench/search/search_bench.exe" "$@" | tr -d '\r'
