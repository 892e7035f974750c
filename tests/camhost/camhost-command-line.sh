#!/usr/bin/env bash
# camhost's own failures: a bad command line exits 2 with the usage, a control that is not
# registered exits 1 naming the step, --help exits 0.
# Usage: camhost-command-line.sh BIN_DIR WINERUN
set -euo pipefail
bin=$1 winerun=$2
cd "$bin"
out=$(mktemp /tmp/qern-camhost-cl.XXXXXX)
trap 'rm -f "$out"' EXIT
fail() { echo "FAIL: $*" >&2; cat "$out" >&2; exit 1; }

set +e
"$winerun" camhost.exe --param URL=x >"$out" 2>&1; rc=$?
set -e
[ $rc -eq 2 ] || fail "a PARAM before any control exited $rc"
grep -q "^camhost: --param comes after a --control" "$out" || fail "no message"
grep -q "^Usage: camhost" "$out" || fail "no usage"

set +e
"$winerun" camhost.exe --control QERN.NoSuchControl --seconds 1 >"$out" 2>&1; rc=$?
set -e
[ $rc -eq 1 ] || fail "an unknown ProgID exited $rc"
grep -q "^control 1: QERN.NoSuchControl: CLSIDFromProgID" "$out" || fail "the failing step is not named"

"$winerun" camhost.exe --help >"$out" 2>&1 || fail "--help failed"
grep -q -- "--screenshot FILE" "$out" || fail "--help without the options"
