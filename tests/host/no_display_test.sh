#!/usr/bin/env bash
# Without a display and without Wine's null graphics driver the component cannot create its window: kxuninst
# must give up within seconds with exit code 3 and say what helps. Runs on a private copy of the sample machine
# whose driver setting is removed. usage: no_display_test.sh SAMPLE_PREFIX BIN_DIR WORK_DIR (WORK_DIR is
# emptied and removed; nothing else is written).
set -uo pipefail
sample=$1 bin=$2 work=$3
copy=$work/prefix
export WINEPREFIX=$copy WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
cleanup() {
  wineserver -k >/dev/null 2>&1
  rm -rf "$work"
}
rm -rf "$work" && mkdir -p "$work"
trap cleanup EXIT
# Links are copied as links and removed as links: nothing outside the copy is touched.
cp -a "$sample" "$copy" || exit 1
sed -i '/^"Graphics"="null"$/d' "$copy/user.reg"
if grep -q '"Graphics"=' "$copy/user.reg"; then
  echo "FAILED: the copy still selects a graphics driver" >&2
  exit 1
fi

start=$(date +%s%N)
env -u DISPLAY -u WAYLAND_DISPLAY KXUNINST_COMMAND="scripts/run --prefix $copy list" \
  timeout 120 wine "$bin/kxuninst.exe" list >"$work/out" 2>"$work/err" </dev/null
rc=$?
ms=$(( ($(date +%s%N) - start) / 1000000 ))
failures=0
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }
[ "$rc" = 3 ] || fail "exit code $rc, expected 3"
[ "$ms" -lt 30000 ] || fail "took $ms ms (the wine process included), expected well under 30 s"
[ ! -s "$work/out" ] || fail "standard output is not empty"
for says in \
  "kxuninst: the component cannot create its window" \
  "kxuninst: Wine has no display here: DISPLAY is not set, and the prefix $copy does not select Wine's null" \
  "kxuninst:   - run it with a display, or under a virtual one: xvfb-run -a scripts/run --prefix $copy list" \
  "kxuninst:       WINEPREFIX=$copy wine reg add 'HKCU\\Software\\Wine\\Drivers' /v Graphics /d null /f" \
  "kxuninst:       WINEPREFIX=$copy wine reg delete 'HKCU\\Software\\Wine\\Drivers' /v Graphics /f"; do
  grep -qF -- "$says" "$work/err" || fail "standard error lacks: $says"
done
if [ $failures != 0 ]; then
  sed 's/^/  | /' "$work/err" >&2
  exit 1
fi
echo "exit code 3 after $ms ms, with the advice"
