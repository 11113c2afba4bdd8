#!/usr/bin/env bash
# kxwinprobe against a window of ours (probe_target.exe), from another process on the window's own X11 desktop:
# what it reads must be what the window shows, and what it types and clicks must reach the window as a person's
# input does. Runs under a virtual X server (xvfb-run); the prefix is only read (no file or key is changed).
#
#   probe_test.sh PREFIX PROBE TARGET WORK_DIR
set -uo pipefail
prefix=$1 probe=$2 target=$3 work=$4
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
harness=("$repo/scripts/wine-harness" --prefix "$prefix")
desktop=KxProbeTest$$
failures=0
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }
rm -rf "$work" && mkdir -p "$work"
win() { printf 'Z:%s' "${1//\//\\}"; }
p() { "${harness[@]}" exec wine "$probe" --desktop "$desktop" --wait 20 "$@" 2>>"$work/probe.err" | tr -d '\r'; }

"${harness[@]}" desktop "$desktop" "$target" >"$work/desktop.log" 2>&1 &
desktop_pid=$!
cleanup() {
  "${harness[@]}" exec wine "$probe" --desktop "$desktop" --wait 5 close KxProbeTarget >/dev/null 2>&1
  wait $desktop_pid 2>/dev/null
}
trap cleanup EXIT
p wait KxProbeTarget >/dev/null || { fail "the target window did not show"; cat "$work"/*.log "$work/probe.err" >&2; exit 1; }

# Polls a reading until it gives the expected text (input reaches the window asynchronously).
expect() {
  local what=$1 want=$2 got=""; shift 2
  for _ in $(seq 40); do
    got=$(p "$@")
    [ "$got" = "$want" ] && return 0
    sleep 0.25
  done
  fail "$what: got [$got], expected [$want]"
}
rows() { p rows KxProbeTarget 1002 | cut -f1,2,3 | tr '\t\n' ' |'; }
expect_rows() {
  local what=$1 want=$2 got=""
  for _ in $(seq 40); do got=$(rows); [ "$got" = "$want" ] && return 0; sleep 0.25; done
  fail "$what: rows [$got], expected [$want]"
  return 1
}
status() { expect "$1" "$2" text KxProbeTarget 1004; }

all='11 0 微信|12 0 画图|13 0 7-Zip 23.01 (x64)|14 0 KxSample Notes 2.1|'
expect_rows "the rows as the window filled them" "$all"
[ "$(p rows KxProbeTarget 1002 | head -1)" = "$(printf '11\t0\t微信\t1.2 MB')" ] || fail "every column of a row"

# Typing: each character reaches the box as typed, and the window filters on each change.
while IFS=';' read -r typed want; do
  p type KxProbeTarget 1003 "$typed"
  expect_rows "after typing [$typed]" "$want" || echo "  the search box holds [$(p text KxProbeTarget 1003)]" >&2
done <<'TABLE'
Kx;14 0 KxSample Notes 2.1|
\b\b微;11 0 微信|
\b;11 0 微信|12 0 画图|13 0 7-Zip 23.01 (x64)|14 0 KxSample Notes 2.1|
TABLE

# Mouse and keys: a click on a row's name, a double click, an accelerator, a key that asks in a message box.
p click KxProbeTarget 1002 画图
status "a click on a row" "clicked 画图"
expect_rows "the clicked row is selected" '11 0 微信|12 1 画图|13 0 7-Zip 23.01 (x64)|14 0 KxSample Notes 2.1|'
p click KxProbeTarget 1002 '#2' double
status "a double click" "opened 7-Zip 23.01 (x64)"
p key KxProbeTarget 1002 F5
status "F5 through the window's accelerators" "refreshed"
p key KxProbeTarget 1002 DELETE
[ "$(p answer KxProbeTarget 7)" = "Confirm" ] || fail "the message box's title"
status "the message box's answer" "answer 7"

# Check boxes: a click on an item's box flips it, and the window sees the ticks it reports.
tree() { p tree KxProbeTarget 2001 | cut -f1,2,3 | tr '\t\n' ' |'; }
[ "$(tree)" = '0 0 0|1 0 1|1 0 2|1 0 3|' ] || fail "the tree as the window filled it: $(tree)"
p tick KxProbeTarget 2001 2 || fail "ticking item 2"
p tick KxProbeTarget 2001 3 || fail "ticking item 3"
p tick KxProbeTarget 2001 2 || fail "unticking item 2"
[ "$(tree)" = '0 0 0|1 0 1|1 0 2|1 1 3|' ] || fail "the tree after three clicks: $(tree)"
p press KxProbeTarget 2002
status "the ticks the window itself reads" "ticked: 3"

# Chinese renders: two different names drawn with different pixels (a missing glyph draws the same box).
differ=$(p differ KxProbeTarget 1002 微信 画图) || fail "two Chinese names drawn alike: $differ"
echo "Chinese names: $differ"

# A screenshot is a PNG of the window's size.
p shot KxProbeTarget "$(win "$work/target.png")"
python3 - "$work/target.png" <<'PY' || fail "the screenshot is not a PNG of the window"
import struct, sys
data = open(sys.argv[1], "rb").read()
assert data[:8] == b"\x89PNG\r\n\x1a\n" and data[12:16] == b"IHDR", "no PNG header"
w, h, depth, colour = struct.unpack(">IIBB", data[16:26])
print("screenshot %dx%d, %d-bit colour type %d, %d bytes" % (w, h, depth, colour, len(data)))
assert (w, h) == (700, 320) and (depth, colour) == (8, 2), "size or format"
PY

# A window that is not there, a control that is not there: exit code 1 within the wait, and the reason.
"${harness[@]}" exec wine "$probe" --desktop "$desktop" --wait 1 rows NoSuchWindow 1002 >/dev/null 2>"$work/err"
rc=$?
[ "$rc" = 1 ] && grep -q "no visible window of class NoSuchWindow" "$work/err" || fail "a missing window: exit $rc"
"${harness[@]}" exec wine "$probe" --desktop "$desktop" --wait 1 rows KxProbeTarget 4242 >/dev/null 2>"$work/err"
rc=$?
[ "$rc" = 1 ] && grep -q "has no control 4242" "$work/err" || fail "a missing control: exit $rc"

if [ $failures != 0 ]; then
  sed 's/^/  | /' "$work/probe.err" >&2
  exit 1
fi
rm -rf "$work"
echo "probe: passed"
