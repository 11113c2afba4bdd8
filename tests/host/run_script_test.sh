#!/usr/bin/env bash
# scripts/run's own options, anywhere on the line, and the prefixes it refuses before it sets up or builds
# anything. usage: run_script_test.sh REPO WORK_DIR (WORK_DIR is emptied and removed).
set -uo pipefail
repo=$1 work=$2
rm -rf "$work" && mkdir -p "$work/half/dosdevices" "$work/fake" && touch "$work/fake/system.reg"
trap 'rm -rf "$work"' EXIT
missing=$work/no-such-prefix
failures=0

# expected exit code | what standard error (or, for --help, standard output) holds | arguments
cases=(
  "2|run: no Wine prefix at $missing (no such folder)|--prefix $missing list"
  "2|run: no Wine prefix at $missing (no such folder)|list --prefix $missing"
  "2|run: no Wine prefix at $missing (no such folder)|search --category 2 --prefix=$missing"
  "2|run: --prefix needs a Wine prefix folder|list --prefix"
  "2|run: register changes the prefix, and scripts/run only reads yours|register --prefix $work/fake"
  "2|Wine has not written $work/half/system.reg within 1 s|--verbose --prefix $work/half list"
  "0|--prefix DIR   run on your own Wine prefix instead|list --help"
  "2|run: no Wine prefix at $missing (no such folder)|--sort size --prefix $missing"
  "0|  search --category NAME\|ID    programs of one category|--help"
)
for c in "${cases[@]}"; do
  IFS='|' read -r code says args <<<"${c//\\|/$'\x1f'}"
  says=${says//$'\x1f'/|}
  # shellcheck disable=SC2086
  out=$(KX_PREFIX_WAIT=1 KX_BUILD_DIR="$work/build" timeout 30 "$repo/scripts/run" $args 2>&1)
  rc=$?
  if [ "$rc" != "$code" ] || [[ "$out" != *"$says"* ]]; then
    echo "FAILED: scripts/run $args: exit $rc (expected $code), output:" >&2
    echo "$out" | sed 's/^/  | /' >&2
    echo "  expected to find: $says" >&2
    failures=$((failures + 1))
  fi
  if [ -e "$work/build" ]; then
    echo "FAILED: scripts/run $args set up a build" >&2
    failures=$((failures + 1))
  fi
done
[ $failures = 0 ] && echo "all ${#cases[@]} cases passed"
exit $((failures > 0))
