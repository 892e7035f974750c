#!/usr/bin/env bash
# recording-e2e.sh WIN32_BIN_DIR [CASE...]: each case of recording_camera_test.exe (under Wine)
# beside a camsim of its own whose recorder settings name a fresh folder, then every file the case
# recorded read back by check_avi.py (ffprobe, ffmpeg, camsim's frame log).
set -uo pipefail
bin=$(cd "$1" && pwd); shift
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
native=${QERN_NATIVE_BIN:-$bin/../../native/bin}
# No full stop in the folder: the camera ends a stored folder at the first one.
work=$(mktemp -d /tmp/qern-rec-XXXXXX)
# QERN_RECORD_KEEP=1 keeps the recorded files for a look.
trap '[ -n "${QERN_RECORD_KEEP:-}" ] && echo "files kept in $work" || rm -rf "$work"' EXIT
failures=0
winpath() { echo "Z:${1//\//\\}"; }

# run_case NAME [CHECK_OPTIONS...] [-- CAMSIM_OPTIONS... [-- VAR=VALUE...]]
run_case() {
  local name=$1; shift
  local check=() sim=() vars=()
  while [ $# -gt 0 ] && [ "$1" != -- ]; do check+=("$1"); shift; done
  [ $# -gt 0 ] && shift
  while [ $# -gt 0 ] && [ "$1" != -- ]; do sim+=("$1"); shift; done
  [ $# -gt 0 ] && { shift; vars=("$@"); }
  local dir=$work/$name
  mkdir -p "$dir"
  env "${vars[@]}" QERN_RECORD_MINUTE_MS=3000 QERN_RECORD_DIR="$dir" QERN_RECORD_DIR_WIN="$(winpath "$dir")" \
    "$root/tools/test/with-camsim" "$native" --fps 25 "${sim[@]}" -- bash -c '
      set -u
      cgi="http://127.0.0.1:$QERN_CAMSIM_PORT/DVRctrl.cgi"
      curl -sf -m 5 -u admin:admin -g "$cgi?TimeD=7" >/dev/null && curl -sf -m 5 -u admin:admin -g "$cgi?PathD=$QERN_RECORD_DIR_WIN" >/dev/null ||
        echo "camsim took no recorder settings (a silent camera does not)"
      rc=0
      # A crash under Wine ends the program with 0: the case must have said it passed.
      timeout 300 "$0" "$1" --gtest_filter="Recording.$2" 2>&1 | tee "$QERN_RECORD_DIR.out"
      grep -q "^\[  PASSED  \] 1 test" "$QERN_RECORD_DIR.out" || rc=1
      if [ "$3" = none ]; then
        [ -z "$(ls "$QERN_RECORD_DIR")" ] || { echo "FAIL: $2 left files"; rc=1; }
      else
        python3 "$4" "$QERN_RECORD_DIR" "$QERN_CAMSIM_FRAMELOG" "${@:5}" || rc=1
      fi
      exit $rc
    ' "$root/tools/wine/winerun" "$bin/recording_camera_test.exe" "$name" "${check[0]:-}" "$here/check_avi.py" \
      "${check[@]:1}" || { echo "FAIL: $name"; failures=$((failures + 1)); }
}

cases=("$@")
want() { [ ${#cases[@]} = 0 ] || printf '%s\n' "${cases[@]}" | grep -qx "$1"; }
want SetactionCancelPeriodAndDestroy && run_case SetactionCancelPeriodAndDestroy files --files 2
want StripUntilStopThenReplacedBySetaction && run_case StripUntilStopThenReplacedBySetaction files --files 3 --gaps -- --size 320x240
want SizeChangeRestartsStripEndsSetaction && run_case SizeChangeRestartsStripEndsSetaction files --min-files 3 --sizes -- --size-cycle 75
want ViewDestroyedDuringARestart && run_case ViewDestroyedDuringARestart files --files 1 -- --size-cycle 100 --answer-after 1.2
want RollsOverAndStopsPromptlyWhenStalled && run_case RollsOverAndStopsPromptlyWhenStalled files --min-files 3 --joined --gaps \
  --max-bytes 400000 -- --stall-after 150 -- QERN_RECORD_LIMIT_BYTES=400000
want SilentCameraGivesTheDefaults && run_case SilentCameraGivesTheDefaults none -- --no-answer
echo "recording-e2e: $failures failures"
[ "$failures" = 0 ]
