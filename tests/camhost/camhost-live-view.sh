#!/usr/bin/env bash
# camhost under Wine against a camera simulator of its own: the live view in place in the page with
# its PARAMs, a relative URL resolved against the page's address, and the camera's picture in a
# screenshot of the window.
# Usage: camhost-live-view.sh BIN_DIR NATIVE_BIN_DIR WINERUN PICTURE_CHECK CASE
#   CASE: absolute | relative | no-page
set -euo pipefail
bin=$1 native=$2 winerun=$3 check=$4 case=$5
work=$(mktemp -d /tmp/qern-camhost.XXXXXX)
camsim_pid=
cleanup() {
  [ -n "$camsim_pid" ] && { kill "$camsim_pid" 2>/dev/null || true; wait "$camsim_pid" 2>/dev/null || true; }
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; echo "--- report" >&2; cat "$work/report.txt" >&2 2>/dev/null || true
         echo "--- requests" >&2; cat "$work/requests.log" >&2 2>/dev/null || true; exit 1; }
expect_line() { grep -qxF -- "$1" "$work/report.txt" || fail "no line \"$1\""; }

"$native/camsim" --port 0 --port-file "$work/port" --log "$work/requests.log" --frame-log "$work/frames.log" \
  >"$work/camsim.out" 2>&1 &
camsim_pid=$!
for _ in $(seq 1 100); do [ -s "$work/port" ] && break; sleep 0.05; done
port=$(cat "$work/port")
[ -n "$port" ] || fail "camsim did not start"

cd "$bin"
"$winerun" regsvr32 /s QERNCamControl.dll

page=()
case $case in
  absolute) url="http://127.0.0.1:$port/video.cgi" ;;
  relative) url=/video.cgi; page=(--page-url "http://127.0.0.1:$port/cams/index.html") ;;
  no-page) url=/video.cgi ;;
  *) echo "unknown case $case" >&2; exit 2 ;;
esac
"$winerun" camhost.exe --control QERN.CamImage --param "URL=$url" --param Uname=admin --param Pword=admin \
  --control QERNCamControl.CImgCtrl --control QERNCamControl.CRec "${page[@]}" \
  --seconds 7 --screenshot "$work/shot.bmp" --after 6 --report "$work/report.txt" >/dev/null \
  || fail "camhost exited with $?"

# In place, in the page's layout: the view 640x480, the panel beside it, the strip below it.
expect_line "control 1: QERN.CamImage window 640x480 at 10,10"
# The panel takes at least its cell; more when its dialog's font is wider.
panel=$(sed -n 's/^control 2: QERNCamControl.CImgCtrl window \([0-9]*\)x\([0-9]*\) at 660,10$/\1 \2/p' "$work/report.txt")
read -r pw ph <<<"${panel:-0 0}"
[ "$pw" -ge 351 ] && [ "$ph" -ge 497 ] || fail "panel window ${panel:-missing}"
strip=$(sed -n "s/^control 3: QERNCamControl.CRec window \([0-9]*\)x\([0-9]*\) at 10,500$/\1 \2/p" "$work/report.txt")
read -r sw sh <<<"${strip:-0 0}"
[ "$sw" -ge 435 ] && [ "$sh" -ge 55 ] || fail "strip window ${strip:-missing}"
grep -q "^control 1: params read .* URL=given Uname=given Pword=given" "$work/report.txt" || fail "PARAMs not read"
grep -qE "^screenshot: $work/shot.bmp $((660 + pw + 10))x565 " "$work/report.txt" || fail "no screenshot"

if [ "$case" = no-page ]; then
  # Without a page there is no server to take: no address, no request, no picture.
  expect_line "control 1: URL (none)"
  ! grep -q "GET /video.cgi" "$work/requests.log" || fail "a video request without an address"
  ! python3 "$check" "$work/shot.bmp" 10,10,640,480 >"$work/check.txt" || fail "a picture without a camera"
  expect_line "frames decoded: 0"
  exit 0
fi

expect_line "control 1: URL http://127.0.0.1:$port"
[ "$case" = relative ] && { grep -qE "^page address reads: [1-9]" "$work/report.txt" || fail "the page was not asked"; }
grep -qx "conn=[0-9]* auth=yes GET /video.cgi" "$work/requests.log" || fail "no authorized GET /video.cgi"
frames=$(sed -n 's/^frames decoded: \([0-9]*\)$/\1/p' "$work/report.txt")
[ "${frames:-0}" -gt 25 ] || fail "only ${frames:-0} frames decoded"
python3 "$check" "$work/shot.bmp" 10,10,640,480 >"$work/check.txt" || { cat "$work/check.txt" >&2; fail "the picture"; }
cat "$work/report.txt" "$work/check.txt"
