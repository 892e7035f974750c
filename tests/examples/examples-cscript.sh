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

# Recording is checked once the DLL can record; until then the scripts must say it did not start.
if [ -f "$root/recording/AviWriter.cpp" ]; then recording="recording: ten seconds"; else recording="recording: not started"; fi
base="http://127.0.0.1:$QERN_CAMSIM_PORT"
for script in host.js host.vbs; do
  cp "$root/examples/$script" "example_$script"
  "$winerun" cscript.exe //nologo "example_$script" "$base/video.cgi" admin admin | tr -d '\r' >"example_$script.out" ||
    fail "$script: cscript failed"
  out="example_$script.out"
  sed 's/^/  /' "$out"
  [ "$(sed -n 1p "$out")" = "camera: $base" ] || fail "$script: camera line"
  fps=$(sed -n 's/^frame rate: \([0-9]*\)$/\1/p' "$out")
  [ -n "$fps" ] && [ "$fps" -ge 20 ] && [ "$fps" -le 30 ] || fail "$script: frame rate '$fps' not about 25"
  grep -qx "snapshot: none for a script host" "$out" || fail "$script: snapshot line"
  grep -qx "$recording" "$out" || fail "$script: expected '$recording'"
done
echo "examples: OK"
