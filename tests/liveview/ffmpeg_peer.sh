#!/usr/bin/env bash
# The live view against a camera nobody here wrote: ffmpeg serving an mpjpeg stream
# (red left half, blue right half, no time stamps) on a free loopback port.
#   ffmpeg_peer.sh ROOT TEST_EXE
set -euo pipefail
root=$1
exe=$2
port=$("$root/tools/test/free-port")
# 4:2:0: ffmpeg writes 4:2:2 as luma 2x2 with chroma 1x2, a sampling the decoder refuses (cameras
# send 4:2:2 as luma 2x1 with chroma 1x1).
work=$(mktemp -d /tmp/qern-ffmpeg-peer.XXXXXX)
ffmpeg -hide_banner -loglevel error -re \
  -f lavfi -i "color=c=red:s=320x480:r=10" -f lavfi -i "color=c=blue:s=320x480:r=10" \
  -filter_complex "[0][1]hstack,format=yuvj420p" -t 60 -q:v 3 \
  -f mpjpeg -listen 1 "http://127.0.0.1:$port/video.cgi" >"$work/ffmpeg.log" 2>&1 &
pid=$!
cleanup() { kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
# ffmpeg listens once it has its first frame ready.
for _ in $(seq 1 100); do
  (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
  sleep 0.1
done
# That probe took ffmpeg's one connection: start it again for the view.
kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true
ffmpeg -hide_banner -loglevel error -re \
  -f lavfi -i "color=c=red:s=320x480:r=10" -f lavfi -i "color=c=blue:s=320x480:r=10" \
  -filter_complex "[0][1]hstack,format=yuvj420p" -t 60 -q:v 3 \
  -f mpjpeg -listen 1 "http://127.0.0.1:$port/video.cgi" >"$work/ffmpeg.log" 2>&1 &
pid=$!
sleep 1
QERN_CAMSIM_SETUP=ffmpeg QERN_CAMSIM_PORT=$port "$root/tools/wine/winerun" "$exe" --gtest_filter=*Ffmpeg*
