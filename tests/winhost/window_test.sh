#!/usr/bin/env bash
# The window host end to end, read and driven from outside by kxwinprobe on a private copy of the sample machine,
# under a virtual X server with Wine's X11 driver (the window on a desktop of its own; see wine-harness desktop).
# What the window shows is compared with what kxuninst reports on the same copy; uninstalls and sweeps are checked
# on the copy's disk and registry. Screenshots of each state stay in SHOTS_DIR; the copy is removed.
#
#   window_test.sh CASE SAMPLE_PREFIX BIN_DIR PROBE WORK_DIR SHOTS_DIR
#
# CASE: list (rows, categories, Chinese glyphs, search as typed, a click on each category), uninstall (a double
# click, then the row is gone), sweep (the package that leaves things behind: the leftover dialog's default
# ticks, some unticked by a click, "Remove selected", then what was ticked is gone and the rest is still there).
set -uo pipefail
case_name=$1 sample=$2 bin=$3 probe_exe=$4 work=$5 shots=$6
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
copy=$work/prefix
harness=("$repo/scripts/wine-harness" --prefix "$copy")
desktop=KxWinTest_${case_name}_$$
failures=0
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }
window_pid=""
cleanup() {
  if [ -n "$window_pid" ]; then
    probe --wait 5 close KxUninstWLeftovers >/dev/null 2>&1
    probe --wait 5 close KxUninstWMain >/dev/null 2>&1
    wait "$window_pid" 2>/dev/null
  fi
  "${harness[@]}" stop >/dev/null 2>&1
  rm -rf "$work"
}
rm -rf "$work" "$shots" && mkdir -p "$work/cache" "$shots"
trap cleanup EXIT
cp -a "$sample" "$copy" || exit 1
# Uninstalls and sweeps happen here: only in a copy that carries the harness's sandbox.
"${harness[@]}" check || exit 1
"${harness[@]}" start || exit 1
win() { printf 'Z:%s' "${1//\//\\}"; }
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
reg() { "${harness[@]}" exec wine reg "$@" </dev/null 2>/dev/null; }
cli() { "${harness[@]}" run "$bin/kxuninst.exe" "$@" --cache-dir "$(win "$work/cache")" --quiet </dev/null 2>>"$work/cli.err"; }
probe() { "${harness[@]}" exec wine "$probe_exe" --desktop "$desktop" "$@" 2>>"$work/probe.err" | tr -d '\r'; }
shot() { probe shot "$1" "$(win "$shots/$2")" || fail "screenshot $2"; }
rows() { probe rows KxUninstWMain 1002; }
# The ids of the programs a kxuninst JSON list holds, sorted; of the window's rows the same.
json_ids() { python3 -c 'import json,sys; print(" ".join(sorted(str(p["id"]) for p in json.load(sys.stdin))))'; }
row_ids() { cut -f1 | sort | tr '\n' ' ' | sed 's/ $//'; }
# Polls until the window's rows hold exactly the ids given (the window filters and refills asynchronously).
expect_ids() {
  local what=$1 want=$2 got=""
  for _ in $(seq 60); do
    got=$(rows | row_ids)
    [ "$got" = "$want" ] && return 0
    sleep 0.5
  done
  fail "$what: the window shows [$got], kxuninst [$want]"
}

open_window() {
  "${harness[@]}" desktop "$desktop" "$bin/kxuninstw.exe" --lang en --cache-dir "$(win "$work/cache")" \
    >"$work/window.log" 2>&1 &
  window_pid=$!
  probe --wait 120 wait KxUninstWMain >/dev/null || { fail "the window did not open"; return 1; }
  local phase=""
  for _ in $(seq 300); do
    phase=$(probe --wait 5 text KxUninstWMain 1004 1)
    case "$phase" in "Read from this machine"*) return 0 ;; esac
    sleep 1
  done
  fail "the list was not read (the status bar says: $phase)"
  return 1
}

finish() {
  if [ $failures != 0 ]; then
    for f in cli.err probe.err window.log; do [ -s "$work/$f" ] && sed "s/^/  $f | /" "$work/$f" >&2; done
    exit 1
  fi
  echo "$case_name: passed (screenshots in $shots)"
  exit 0
}

case "$case_name" in
list)
  # A second Chinese name of the same length as 微信: the two must be drawn differently.
  reg add "$uninstall_key\\KxSamplePaint" /v DisplayName /d "画图" /f >/dev/null
  reg add "$uninstall_key\\KxSamplePaint" /v UninstallString /d '"C:\Program Files\KxSamplePaint\uninstall.exe" /S' /f >/dev/null
  cli list --json >"$work/list.json" || { fail "kxuninst list"; finish; }
  cli categories --json >"$work/categories.json" || fail "kxuninst categories"
  searches=(sample weixin huatu SAMPLE zzz)
  for s in "${searches[@]}"; do cli search "$s" --json >"$work/search-$s.json"; done
  # Each category as its id and the label the pane shows: "name (count)".
  python3 -c 'import json,sys; [print("%d\t%s (%d)" % (c["id"], c["name"], c["count"])) for c in json.load(open(sys.argv[1]))]' \
    "$work/categories.json" >"$work/category-labels"
  while IFS=$'\t' read -r id _; do cli search --category "$id" --json >"$work/category-$id.json"; done <"$work/category-labels"
  open_window || finish
  shot KxUninstWMain main.png
  # Rows: every program kxuninst lists, with its id, name and category.
  rows >"$work/rows"
  python3 - "$work/list.json" "$work/rows" <<'PY' || fail "the rows differ from kxuninst list"
import json, sys
want = sorted((str(p["id"]), p["name"], p["category"]) for p in json.load(open(sys.argv[1])))
got = sorted(tuple(l.rstrip("\n").split("\t")[i] for i in (0, 2, 3)) for l in open(sys.argv[2], encoding="utf-8"))
for w in want:
    if w not in got: print("  missing in the window:", w)
for g in got:
    if g not in want: print("  only in the window:", g)
print("%d rows, %d programs listed" % (len(got), len(want)))
sys.exit(0 if want == got else 1)
PY
  # Categories: "全部软件" first, then every category with its count, the item data its id.
  python3 - "$work/categories.json" <(probe rows KxUninstWMain 1001) <<'PY' || fail "the category pane differs from kxuninst categories"
import json, sys
want = [(str(c["id"]), "%s (%d)" % (c["name"], c["count"])) for c in json.load(open(sys.argv[1]))]
got = [tuple(l.rstrip("\n").split("\t")[i] for i in (0, 2)) for l in open(sys.argv[2], encoding="utf-8")]
print("categories:", " | ".join(t for _, t in got))
ok = got[:1] == want[:1] and want[0][1].startswith("全部软件") and sorted(got) == sorted(want)
sys.exit(0 if ok else 1)
PY
  # Chinese glyphs: two names of the same length drawn with different pixels (missing glyphs draw alike).
  differ=$(probe differ KxUninstWMain 1002 微信 画图) || fail "微信 and 画图 are drawn alike: $differ"
  echo "Chinese names: $differ"
  # Search as typed: after each text the rows are what kxuninst search returns (name, substring, pinyin).
  for s in "${searches[@]}"; do
    probe type KxUninstWMain 1003 "$s"
    expect_ids "search \"$s\"" "$(json_ids <"$work/search-$s.json")"
    [ "$s" = weixin ] && shot KxUninstWMain search-weixin.png
    probe type KxUninstWMain 1003 "$(printf '\\b%.0s' $(seq ${#s}))"
  done
  expect_ids "the search box emptied" "$(json_ids <"$work/list.json")"
  # A click on each category shows its programs; the first ("全部软件") all of them.
  while IFS=$'\t' read -r id label; do
    probe click KxUninstWMain 1001 "$label"
    expect_ids "a click on $label" "$(json_ids <"$work/category-$id.json")"
    [ "$id" = 2 ] && shot KxUninstWMain category-2.png
  done < <(sed -n '2,$p' "$work/category-labels"; head -1 "$work/category-labels")
  finish ;;
uninstall)
  # The uninstall command as silent installers write it; a double click on the row asks, Yes runs it.
  name="KxSample Image Viewer"
  reg add "$uninstall_key\\KxSampleViewer" /v UninstallString /d '"C:\Program Files\KxSampleViewer\uninstall.exe" /S' /f >/dev/null
  open_window || finish
  id=$(rows | awk -F'\t' -v n="$name" '$3 == n { print $1 }')
  [ -n "$id" ] || { fail "no row for $name"; finish; }
  probe click KxUninstWMain 1002 "$name" double
  probe answer KxUninstWMain 6 >"$work/question" || fail "no question before the uninstall"
  gone=0
  for _ in $(seq 600); do
    # Leftovers, if any, are dismissed with the dialog's Close: the program leaves the list all the same.
    probe --wait 0 wait KxUninstWLeftovers >/dev/null 2>&1 && { shot KxUninstWLeftovers leftovers.png; probe close KxUninstWLeftovers; }
    rows | cut -f1 | grep -qx "$id" || { gone=1; break; }
    sleep 0.5
  done
  [ $gone = 1 ] || fail "the row of $name is still there: $(rows | grep -F "$name")"
  shot KxUninstWMain after-uninstall.png
  reg query "$uninstall_key\\KxSampleViewer" >/dev/null && fail "the Uninstall key of $name is still there"
  finish ;;
sweep)
  name="KxSample Diary 3.0"
  reg add "$uninstall_key\\KxSampleDiary" /v UninstallString /d '"C:\Program Files\KxSampleDiary\uninstall.exe" /S' /f >/dev/null
  # A key that only shares the program's name (not listed: it has no display name), and the shell's cache of its
  # name: both offered, neither ticked by default.
  reg add "HKCU\\${uninstall_key#HKLM\\}\\KxSampleDiary" /v InstallLanguage /d 2052 /f >/dev/null
  reg add 'HKCU\Software\Microsoft\Windows\ShellNoRoam\MUICache' /v 'C:\Program Files\KxSampleDiary\KxDiary.exe' \
    /d "$name" /f >/dev/null
  open_window || finish
  probe select KxUninstWMain 1002 "$name" || fail "selecting $name"
  probe key KxUninstWMain 1002 DELETE
  probe answer KxUninstWMain 6 >/dev/null || fail "no question before the uninstall"
  probe --wait 600 wait KxUninstWLeftovers >/dev/null || { fail "no leftover dialog"; finish; }
  for _ in $(seq 60); do [ -n "$(probe tree KxUninstWLeftovers 2001)" ] && break; sleep 0.5; done
  shot KxUninstWLeftovers leftovers.png
  probe tree KxUninstWLeftovers 2001 >"$work/tree"
  # The default ticks, entry by entry, one row each (the Start-menu shortcut, which the scanner finds twice,
  # too): the entry's text (all of it, else a part of it, ignoring case) | ticked by default | unticked by the
  # test, and so kept, both times it was found.
  cat >"$work/table" <<'TABLE'
\kxsamplediary\diary.dat|1|0
\kxsamplediary\entries\first.txt|1|1
\software\microsoft\windows\currentversion\run\\kxsamplediary|1|0
\desktop\kxsample diary 3.0.lnk|1|0
\start menu\programs\kxsample diary 3.0\kxsample diary 3.0.lnk|1|1
c:\program files\kxsamplediary\|1|1
hkey_current_user\software\microsoft\windows\currentversion\uninstall\kxsamplediary|0|0
\shellnoroam\muicache\\|0|0
TABLE
  python3 - "$work/tree" "$work/table" "$work/untick" <<'PY' || fail "the default ticks"
import sys
entries = [l.rstrip("\n").split("\t", 3) for l in open(sys.argv[1], encoding="utf-8")]
entries = [e for e in entries if e[0] == "2"]
ok, untick = True, []
for row in open(sys.argv[2], encoding="utf-8"):
    text, ticked, unticked = row.rstrip("\n").split("|")
    hits = [e for e in entries if e[3].lower() == text] or [e for e in entries if text in e[3].lower()]
    if not hits:
        print("  no entry for", text); ok = False; continue
    if len(hits) > 1:
        print("  %d rows for" % len(hits), text); ok = False
    for level, checked, lid, path in hits:
        print("  %s %s" % ("[x]" if checked == "1" else "[ ]", path))
        if checked != ticked: print("    expected", "ticked" if ticked == "1" else "unticked"); ok = False
        if unticked == "1": untick.append(lid)
left = [e[3] for e in entries if not any(e[3].lower() == t or t in e[3].lower()
        for t in (r.split("|")[0] for r in open(sys.argv[2], encoding="utf-8")))]
for path in left: print("  not expected:", path); ok = False
open(sys.argv[3], "w").write(" ".join(untick))
sys.exit(0 if ok else 1)
PY
  for lid in $(cat "$work/untick"); do probe tick KxUninstWLeftovers 2001 "$lid" || fail "unticking $lid"; done
  shot KxUninstWLeftovers leftovers-chosen.png
  probe press KxUninstWLeftovers 2002
  summary=""
  for _ in $(seq 600); do summary=$(probe --wait 5 text KxUninstWLeftovers 2004); [ -n "$summary" ] && break; sleep 0.5; done
  [ -n "$summary" ] || fail "no summary after the sweep"
  echo "summary: $summary"
  shot KxUninstWLeftovers leftovers-swept.png
  # On the copy's disk and in its registry: the ticked entries are gone, the unticked ones are still there.
  files=$copy/drive_c
  exists() { python3 - "$files" "$1" <<'PY'
import os, sys
root, rel = sys.argv[1], sys.argv[2]
path = root
for part in [p for p in rel.split("/") if p]:
    names = {n.lower(): n for n in os.listdir(path)} if os.path.isdir(path) else {}
    if part.lower() not in names: sys.exit(1)
    path = os.path.join(path, names[part.lower()])
sys.exit(0)
PY
  }
  while IFS='|' read -r kind what value want; do
    case "$kind" in
      file) if exists "$what"; then got=kept; else got=gone; fi ;;
      value) if reg query "$what" /v "$value" >/dev/null; then got=kept; else got=gone; fi ;;
      key) if reg query "$what" >/dev/null; then got=kept; else got=gone; fi ;;
    esac
    [ "$got" = "$want" ] || fail "$what $value: $got, expected $want"
  done <<'TABLE'
file|Program Files/KxSampleDiary/diary.dat||gone
file|Program Files/KxSampleDiary/Entries/first.txt||kept
file|Program Files/KxSampleDiary||kept
file|users/root/Desktop/KxSample Diary 3.0.lnk||gone
file|ProgramData/Microsoft/Windows/Start Menu/Programs/KxSample Diary 3.0/KxSample Diary 3.0.lnk||kept
value|HKCU\Software\Microsoft\Windows\CurrentVersion\Run|KxSampleDiary|gone
value|HKCU\Software\Microsoft\Windows\ShellNoRoam\MUICache|C:\Program Files\KxSampleDiary\KxDiary.exe|kept
key|HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\KxSampleDiary||kept
TABLE
  finish ;;
*) echo "unknown case $case_name" >&2; exit 2 ;;
esac
