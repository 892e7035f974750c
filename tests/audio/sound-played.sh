#!/usr/bin/env bash
# The live view's sound as the rig's null sink plays it: camhost under Wine against camera
# simulators of its own, the sink's monitor recorded with parec and the simulator's counter
# (sample k = k mod 65536) checked sample by sample.
# Usage: sound-played.sh BIN_DIR NATIVE_BIN_DIR WINERUN CASE
#   reconnect      sound and picture break every 6 s; the picture reconnects and the sound follows:
#                  every connection's samples played whole and in order, silence in between
#   two-processes  a second process plays a silent camera at the same time: the counter stays whole
#   two-views      the same with two live views in one process
set -euo pipefail
bin=$1 native=$2 winerun=$3 case=$4
check=$(cd "$(dirname "$0")/../../tools/bench_audio" && pwd)/counter-check.py
work=$(mktemp -d /tmp/qern-sound.XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; done
  if [ -n "${KEEP_WORK:-}" ]; then echo "kept $work" >&2; else rm -rf "$work"; fi
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; cat "$work"/report*.txt >&2 2>/dev/null || true; exit 1; }

start_camsim() {  # NAME [camsim options]
  local name=$1; shift
  "$native/camsim" --port 0 --port-file "$work/$name.port" "$@" >"$work/$name.out" 2>&1 &
  pids+=($!)
  for _ in $(seq 1 100); do [ -s "$work/$name.port" ] && return 0; sleep 0.05; done
  fail "camsim $name did not start"
}
view() { echo "--control QERN.CamImage --param URL=http://127.0.0.1:$(cat "$work/$1.port")/video.cgi" \
              "--param Uname=admin --param Pword=admin"; }

# Each reader appends its counters (samples received and played, gaps, delay) when it ends.
export QERN_AUDIO_STATS="Z:${work//\//\\}\\audio-stats.txt"

# parec delivers only after about 1.5 s: it starts first and the check looks for the signal.
parec -d qern_sink.monitor --format=s16le --rate=8000 --channels=1 --raw >"$work/played.raw" &
rec=$!
pids+=($rec)
sleep 2
cd "$bin"
"$winerun" regsvr32 /s QERNCamControl.dll
# shellcheck disable=SC2046
case $case in
  reconnect)
    # 150 frames at 25 per second and 375 audio frames of 128 samples: 6 s per connection.
    start_camsim a --drop-after 150 --audio-drop-after 375
    "$winerun" camhost.exe $(view a) --seconds 18 --report "$work/report.txt" >/dev/null || fail "camhost $?"
    checks=(--connection-samples 48000 --min-runs 2)
    ;;
  two-processes)
    start_camsim a
    start_camsim b --audio silence
    "$winerun" camhost.exe $(view b) --seconds 16 --report "$work/report-b.txt" >/dev/null &
    other=$!
    "$winerun" camhost.exe $(view a) --seconds 14 --report "$work/report.txt" >/dev/null || fail "camhost $?"
    wait "$other" || fail "the second camhost $?"
    checks=(--single-run --min-samples 72000)
    ;;
  two-views)
    start_camsim a
    start_camsim b --audio silence
    "$winerun" camhost.exe $(view a) $(view b) --seconds 14 --report "$work/report.txt" >/dev/null || fail "camhost $?"
    checks=(--single-run --min-samples 72000)
    ;;
  *) echo "unknown case $case" >&2; exit 2 ;;
esac
sleep 2  # the last of the sound reaches the recorder
kill "$rec"
wait "$rec" 2>/dev/null || true
stats=$(tr -d '\r' <"$work/audio-stats.txt" 2>/dev/null || true)
echo "$stats"
[ -n "$stats" ] || fail "no reader reported"
sum() { echo "$stats" | tr ' ' '\n' | sed -n "s/^$1=//p" | awk '{ s += $1 } END { print s + 0 }'; }
[ "$(sum lost)" = 0 ] || fail "frames lost on the way"
# While the camera sends, no second is cut short (a connection's end is, in the reconnect case).
[ "$case" = reconnect ] || [ "$(sum short)" = 0 ] || fail "a gap while the camera sent"
python3 "$check" "$work/played.raw" --dropped "$(sum dropped)" "${checks[@]}" \
  || fail "the counter as played"
