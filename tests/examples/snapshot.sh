#!/usr/bin/env bash
# The compiled example takes one frame through the frame export; it must be the camera's picture.
# Usage: snapshot.sh ROOT BIN_DIR WINERUN   (beside camsim at 640 x 480: QERN_CAMSIM_PORT)
set -euo pipefail
root=$1 bin=$2 winerun=$3
cd "$bin"
"$winerun" regsvr32 /s QERNCamControl.dll
rm -f example_snapshot.bmp
"$winerun" snapshot.exe "http://127.0.0.1:$QERN_CAMSIM_PORT/video.cgi" example_snapshot.bmp admin admin
python3 "$root/tools/camhost/picture-check.py" example_snapshot.bmp 0,0,640,480
