#!/usr/bin/env bash
# scripts/bench list [fuzz]: the uninstallable list on the synthetic machine of the discovery benchmark.
#   - time to the list-ready notification (0x200001) from a warm cache and from a full discovery, in-process,
#     median of the runs; the second against the discovery benchmark's floor (Uninstall keys enumerated, install
#     folders walked) on the same machine in the same run;
#   - Wine's own `uninstaller --list` on the same prefix, against the warm-cache run of our driver, both timed
#     from outside as whole processes (start-up included on both sides);
#   - a bounded fuzz run of the cache loader.
# With "fuzz" only the fuzz run is made; its line is then the last.
set -euo pipefail
: "${KX_ROOT:?run through scripts/bench}" "${KX_BUILD:?}" "${KX_WINEPREFIX:?}"
harness="$KX_ROOT/scripts/wine-harness"
bench_dir="$KX_BUILD/bench/list"
exe="$bench_dir/list_bench.exe"
n=${KX_LIST_BENCH_N:-500}           # programs    (the discovery benchmark's machine)
m=${KX_LIST_BENCH_FILES:-100000}    # files in all install folders
fuzz_total=${KX_LIST_FUZZ:-10000}
work="$KX_WINEPREFIX/drive_c/KxListBench"
mkdir -p "$work/fuzz"

fuzz() {
  "$harness" exec wine "$exe" fuzz "$fuzz_total" 'C:\KxListBench\fuzz' | tr -d '\r' | grep -v '^batch [0-9]*: ' || true
}

if [ "${1:-}" = fuzz ]; then
  fuzz
  exit 0
fi

[ -f "$KX_ROOT/bench/gen_discovery.py" ] || { echo "bench list: needs the discovery benchmark's generator" >&2; exit 1; }
[ -f "$bench_dir/KxData.dll" ] || { echo "bench list: needs KxData.dll beside the driver" >&2; exit 1; }

tmp=$(mktemp -d)
win_tmp="Z:$(printf '%s' "$tmp" | tr / '\\')"
# The 500 entries go again however the run ends, so that the tests never see them.
cleanup() {
  [ ! -f "$tmp/del.reg" ] || "$harness" exec wine regedit /S "$win_tmp\\del.reg" >/dev/null 2>&1 || true
  rm -rf "$work/cache" "$tmp"
}
trap cleanup EXIT
python3 "$KX_ROOT/bench/gen_discovery.py" "$KX_WINEPREFIX" "$n" "$m" "$tmp/add.reg" "$tmp/del.reg"
"$harness" exec wine regedit /S "$win_tmp\\add.reg" >/dev/null 2>&1 || true

cache='C:\KxListBench\cache'
mkdir -p "$work/cache"
ready_ms() { "$harness" exec wine "$exe" ready "$cache" "$@" | tr -d '\r' | sed -n 's/^list-ready ms: \([0-9.]*\).*/\1/p'; }
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
now_ns() { date +%s%N; }

# A throw-away run warms the prefix and the file cache of the host.
rm -f "$work/cache/"*; ready_ms >/dev/null
# A warm run counts only when the cache was accepted: a rejected file is deleted by the load (the data
# component may not know its rules version yet when the cache is read), and its list then came from discovery.
floor_ms() { "$harness" exec wine "$exe" floor 1 | tr -d '\r' | sed -n 's/^floor ms: \([0-9.]*\).*/\1/p'; }
# The floor is taken beside each full discovery, so that a change in the machine's load hits both alike.
disc=(); cached=(); floors=(); rejected=0
for i in 1 2 3; do
  floors+=("$(floor_ms)")
  rm -f "$work/cache/"*
  disc+=("$(ready_ms)")                 # full discovery; Uninit saves the cache
  t=$(ready_ms exit)                    # from that cache
  if [ -f "$work/cache/KxUninstall_32" ]; then cached+=("$t"); else rejected=$((rejected + 1)); fi
done
d=$(printf '%s\n' "${disc[@]}" | median)
[ ${#cached[@]} -gt 0 ] || { echo "bench list: the cache was rejected in every run" >&2; exit 1; }
c=$(printf '%s\n' "${cached[@]}" | median)
f=$(printf '%s\n' "${floors[@]}" | median)
items=$("$harness" exec wine "$exe" ready "$cache" | tr -d '\r' | sed -n 's/.*items: //p')

# Whole processes, start-up included: ours from the warm cache (runs whose cache was rejected are left
# out and the cache rebuilt), Wine's uninstaller listing the same prefix.
ours=(); wine_ul=()
for i in 1 2 3; do
  [ -f "$work/cache/KxUninstall_32" ] || ready_ms >/dev/null
  t0=$(now_ns); "$harness" exec wine "$exe" ready "$cache" exit >/dev/null; t1=$(now_ns)
  [ -f "$work/cache/KxUninstall_32" ] && ours+=($(( (t1 - t0) / 1000000 )))
  t0=$(now_ns); "$harness" exec wine uninstaller --list >"$tmp/ul.txt" 2>/dev/null || true; t1=$(now_ns)
  wine_ul+=($(( (t1 - t0) / 1000000 )))
done
[ ${#ours[@]} -gt 0 ] || { echo "bench list: the cache was rejected in every whole-process run" >&2; exit 1; }
o=$(printf '%s\n' "${ours[@]}" | median)
w=$(printf '%s\n' "${wine_ul[@]}" | median)
listed=$(grep -c . "$tmp/ul.txt" || true)

echo "synthetic machine: $n programs, $m files; soft list: $items items; wine uninstaller listed $listed lines"
echo "list ready from a full discovery: $d ms (runs: ${disc[*]})"
echo "floor (enumerate + walk):         $f ms (runs: ${floors[*]})"
echo "list ready from a warm cache:     $c ms (runs: ${cached[*]}; cache rejected in $rejected of 3)"
echo "whole process, warm cache:        $o ms (runs: ${ours[*]})"
echo "wine uninstaller --list:          $w ms (runs: ${wine_ul[*]})"
fuzz
awk -v d="$d" -v f="$f" 'BEGIN { printf "cold-list/floor ratio: %.2f\n", d / f }'
awk -v c="$c" -v d="$d" 'BEGIN { printf "cache/discovery ratio: %.2f\n", c / d }'
awk -v o="$o" -v w="$w" 'BEGIN { printf "cache/wine-uninstaller ratio: %.2f\n", o / w }'
