#!/usr/bin/env bash
# The examples as a reader copies them: both host scripts run unchanged under Wine's cscript
# against the camera simulator, and the camera page's objects name the classes the DLL registers.
# Usage: examples-cscript.sh ROOT BIN_DIR WINERUN   (beside camsim: QERN_CAMSIM_PORT)
set -euo pipefail
root=$1 bin=$2 winerun=$3
cd "$bin"
fail() { echo "FAIL: $*"; exit 1; }
"$winerun" regsvr32 /s QERNCamControl.dll

# The page: each object's class is one of the three, by the ProgID registered for it.
for pair in QERN.CamImage:cam QERNCamControl.CImgCtrl:panel QERNCamControl.CRec:strip; do
  progid=${pair%%:*} id=${pair##*:}
  clsid=$(grep -o "id=\"$id\" classid=\"clsid:[0-9A-F-]*\"" "$root/examples/camera-page.html" | grep -o '[0-9A-F]\{8\}-[0-9A-F-]*')
  [ -n "$clsid" ] || fail "page: no object $id"
  "$winerun" reg query "HKEY_CLASSES_ROOT\\CLSID\\{$clsid}\\ProgID" /ve 2>/dev/null | tr -d '\r' | grep -q "$progid.1\$" ||
    fail "page: object $id is not $progid"
done
grep -q '<param name="URL" value="/video.cgi">' "$root/examples/camera-page.html" || fail "page: no relative URL"

# To record, the test answers the "REC SETTING" dialog as a user would, into a folder of its own
# that it gives the camera as its recorder folder.
base="http://127.0.0.1:$QERN_CAMSIM_PORT"
folder=$(mktemp -d /tmp/qern-examples-rec-XXXXXX)  # no dot: the camera ends its values with one
trap 'rm -rf "$folder"' EXIT
curl -sfg -u admin:admin "$base/DVRctrl.cgi?PathD=Z:${folder//\//\\}\\" >/dev/null || fail "camera folder"
for script in host.js host.vbs; do
  cp "$root/examples/$script" "example_$script"
  "$winerun" answer_dialog.exe "REC SETTING" 60 >/dev/null &
  answer=$!
  "$winerun" cscript.exe //nologo "example_$script" "$base/video.cgi" admin admin | tr -d '\r' >"example_$script.out" ||
    fail "$script: cscript failed"
  wait "$answer" || fail "$script: no REC SETTING dialog to answer"
  out="example_$script.out"
  sed 's/^/  /' "$out"
  [ "$(sed -n 1p "$out")" = "camera: $base" ] || fail "$script: camera line"
  fps=$(sed -n 's/^frame rate: \([0-9]*\)$/\1/p' "$out")
  [ -n "$fps" ] && [ "$fps" -ge 20 ] && [ "$fps" -le 30 ] || fail "$script: frame rate '$fps' not about 25"
  grep -qx "snapshot: none for a script host" "$out" || fail "$script: snapshot line"
  grep -qx "recording: ten seconds" "$out" || fail "$script: no ten seconds of recording"
done
# One file per script, each about ten seconds of the camera's 25 frames a second.
files=("$folder"/*.avi)
[ "${#files[@]}" -eq 2 ] && [ -f "${files[0]}" ] || fail "recordings: ${files[*]}"
for f in "${files[@]}"; do
  n=$(ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 "$f")
  echo "  $(basename "$f"): $n frames"
  [ "$n" -ge 150 ] && [ "$n" -le 350 ] || fail "$(basename "$f"): $n frames, not about ten seconds"
done
echo "examples: OK"
