#!/usr/bin/env bash
# camgrab.exe (under Wine) against camera simulators and real MJPEG servers on loopback:
#   camgrab-e2e.sh WIN32_BIN_DIR [camsim|ffmpeg|gstreamer|all]
# camsim: every frame written is byte-identical to the one camsim logged under the same
#   index, and the printed stamp matches; with each size, without stamps, with garbage,
#   a trickling stream, a dropped or stalled connection, changing sizes, and parts cut
#   short (every other one too) or with a wrong Content-Length (only those frames may be
#   missing: every whole frame arrives).
# ffmpeg, gstreamer: every frame from ffmpeg's mpjpeg HTTP server, and from GStreamer's
#   multipartmux behind a one-line HTTP header (socat), is a whole JPEG that djpeg decodes.
# camsim is the native build's (QERN_CAMSIM_BIN, else BIN/../../native/bin/camsim).
set -uo pipefail
bin=$(cd "$1" && pwd)
which=${2:-all}
root=$(cd "$(dirname "$0")/../.." && pwd)
camsim=${QERN_CAMSIM_BIN:-$bin/../../native/bin/camsim}
export TZ=UTC
work=$(mktemp -d /tmp/qern-camgrab.XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; wait "$p" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
winpath() { echo "Z:${1//\//\\}"; }

free_port() { "$root/tools/test/free-port"; }

# camsim_case NAME FRAMES EXPECT_RC CAMSIM_OPTIONS... [-- CAMGRAB_OPTIONS...]
camsim_case() {
  local name=$1 frames=$2 expect_rc=$3; shift 3
  local sim=() grab=()
  while [ $# -gt 0 ] && [ "$1" != -- ]; do sim+=("$1"); shift; done
  [ $# -gt 0 ] && { shift; grab=("$@"); }
  set -- "${sim[@]}"
  local dir=$work/$name
  mkdir -p "$dir"  # camgrab makes its out folder
  "$camsim" --port 0 --port-file "$dir/port" --frame-log "$dir/frames.log" --exact-stamps \
    --start-time 1600000000 --fps 25 "$@" >"$dir/camsim.out" 2>&1 &
  local pid=$!
  pids+=("$pid")
  for _ in $(seq 1 100); do [ -s "$dir/port" ] && break; sleep 0.05; done
  local port
  port=$(cat "$dir/port" 2>/dev/null)
  if [ -z "$port" ]; then fail "$name: camsim did not start"; return; fi
  timeout 120 "$root/tools/wine/winerun" "$bin/camgrab.exe" "http://127.0.0.1:$port/video.cgi" \
    --user admin --password admin --frames "$frames" --out "$(winpath "$dir/out")" "${grab[@]}" \
    >"$dir/camgrab.out" 2>"$dir/camgrab.err"
  local rc=$?
  kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
  if [ "$rc" != "$expect_rc" ]; then
    fail "$name: camgrab exited $rc, expected $expect_rc"; cat "$dir/camgrab.err"; return
  fi
  python3 - "$dir" "$name" "$@" <<'PY' || failures=$((failures + 1))
import os, re, sys, zlib, datetime
d, name, opts = sys.argv[1], sys.argv[2], sys.argv[3:]
logged = {}
for line in open(os.path.join(d, "frames.log")):
    m = re.match(r"conn=(\d+) frame=(\d+) size=(\d+) crc32=([0-9A-Fa-f]+)", line)
    if m:
        logged.setdefault(int(m.group(1)), {})[int(m.group(2))] = (int(m.group(3)), int(m.group(4), 16))
# The connection that sent frames to the authenticated request.
conn = max(logged) if logged else None
frames = logged.get(conn, {})
faulty = set()
for line in open(os.path.join(d, "frames.log")):
    m = re.match(r"conn=(\d+) frame=(\d+) .*(truncated|wrong-length)", line)
    if m and int(m.group(1)) == conn:
        faulty.add(int(m.group(2)))
by_content = {v: k for k, v in frames.items()}
lines = [l.rstrip("\n") for l in open(os.path.join(d, "camgrab.out"))]
files = sorted(os.listdir(os.path.join(d, "out")))
bad = []
if len(files) != len(lines):
    bad.append("%d files but %d lines" % (len(files), len(lines)))
# Each file is the frame camsim logged under the next index, or under a later one
# when the frames in between were faulty.
previous = -1
for n, f in enumerate(files):
    data = open(os.path.join(d, "out", f), "rb").read()
    key = (len(data), zlib.crc32(data))
    i = by_content.get(key)
    if i is None or i <= previous:
        bad.append("%s: %d bytes crc %08X is no frame camsim sent after frame %d" % (f, key[0], key[1], previous))
        continue
    for skipped in range(previous + 1, i):
        if skipped not in faulty:
            bad.append("%s: camsim frame %d is missing without a fault" % (f, skipped))
    previous = i
    if n < len(lines):
        if "--no-stamp" in opts:
            exp = "%05d %d bytes no stamp" % (n + 1, len(data))
        else:
            t = datetime.datetime.utcfromtimestamp(1600000000 + i // 25)
            exp = "%05d %d bytes %s.%06d" % (n + 1, len(data), t.strftime("%Y-%m-%d %H:%M:%S"), (i % 25) * 40000)
        if lines[n] != exp:
            bad.append("line %d: %r, expected %r" % (n + 1, lines[n], exp))
if faulty and previous >= 0 and not any(i < previous for i in faulty):
    bad.append("no fault happened within the frames taken")
for b in bad[:10]:
    print("FAIL: %s: %s" % (name, b))
print("%s: %d frames checked%s" % (name, len(files), "" if not bad else ", %d problems" % len(bad)))
sys.exit(1 if bad else 0)
PY
}

# ffmpeg_case NAME FRAMES: ffmpeg serves one client, then exits.
ffmpeg_case() {
  local name=$1 frames=$2
  local dir=$work/$name
  mkdir -p "$dir/out"
  local port
  port=$(free_port)
  ffmpeg -nostdin -loglevel error -re -f lavfi -i testsrc=size=640x480:rate=25 -pix_fmt yuvj420p -c:v mjpeg \
    -q:v 5 -f mpjpeg -content_type "multipart/x-mixed-replace;boundary=ffmpeg" -listen 1 \
    "http://127.0.0.1:$port/video.cgi" >"$dir/ffmpeg.out" 2>&1 &
  pids+=("$!")
  grab_from_peer "$name" "$frames" "$port" "$!" "$dir/ffmpeg.out"
}

# grab_from_peer NAME FRAMES PORT PID PEER_LOG: waits until the peer listens (without
# connecting: some take one client only), takes the frames, stops the peer, checks them.
grab_from_peer() {
  local name=$1 frames=$2 port=$3 pid=$4 peerlog=$5
  local dir=$work/$name
  for _ in $(seq 1 50); do
    ss -ltn 2>/dev/null | grep -q "127.0.0.1:$port " && break
    sleep 0.1
  done
  timeout 120 "$root/tools/wine/winerun" "$bin/camgrab.exe" "http://127.0.0.1:$port/video.cgi" \
    --frames "$frames" --out "$(winpath "$dir/out")" >"$dir/camgrab.out" 2>"$dir/camgrab.err"
  local rc=$?
  kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
  if [ "$rc" != 0 ]; then fail "$name: camgrab exited $rc"; cat "$dir/camgrab.err" "$peerlog"; return; fi
  check_jpegs "$dir" "$name" "$frames"
}

# Every file in DIR/out is FF D8 ... FF D9 and djpeg decodes it without a warning.
check_jpegs() {
  local dir=$1 name=$2 frames=$3 n=0 f
  for f in "$dir"/out/*.jpg; do
    n=$((n + 1))
    if [ "$(head -c 2 "$f" | od -An -tx1 | tr -d ' ')" != ffd8 ] || [ "$(tail -c 2 "$f" | od -An -tx1 | tr -d ' ')" != ffd9 ]; then
      fail "$name: $(basename "$f") is not FF D8 ... FF D9"
    elif ! djpeg -outfile /dev/null "$f" 2>"$dir/djpeg.err" || [ -s "$dir/djpeg.err" ]; then
      fail "$name: $(basename "$f") does not decode cleanly: $(cat "$dir/djpeg.err")"
    fi
  done
  [ "$n" = "$frames" ] || fail "$name: $n files, expected $frames"
  echo "$name: $n frames decoded"
}

if [ "$which" = camsim ] || [ "$which" = all ]; then
  if [ ! -x "$camsim" ]; then
    fail "no camsim at $camsim (build the native tree or set QERN_CAMSIM_BIN)"
  else
    camsim_case size640 40 0 --size 640x480
    camsim_case size320 40 0 --size 320x240
    camsim_case size176 40 0 --size 176x144
    camsim_case nostamp 30 0 --no-stamp
    camsim_case garbage 30 0 --garbage 3000
    camsim_case drip 8 0 --drip 200000 --size 320x240
    camsim_case dropped 20 1 --drop-after 12
    camsim_case stalled 20 1 --stall-after 9 -- --stall-seconds 2
    camsim_case sizecycle 45 0 --size-cycle 7
    camsim_case truncated 40 0 --truncate-every 6
    camsim_case halves 30 0 --truncate-every 2
    camsim_case longer 40 0 --wrong-length-every 5 --wrong-length-by 512
    camsim_case shorter 40 0 --wrong-length-every 5 --wrong-length-by -512
  fi
fi
# gstreamer_case NAME FRAMES: multipartmux behind a one-line HTTP header, served by socat.
gstreamer_case() {
  local name=$1 frames=$2
  local dir=$work/$name
  mkdir -p "$dir/out"
  local port
  port=$(free_port)
  cat >"$dir/serve.sh" <<'SH'
printf 'HTTP/1.0 200 OK\r\nContent-Type: multipart/x-mixed-replace;boundary=gst\r\n\r\n'
exec gst-launch-1.0 -q videotestsrc num-buffers=3000 pattern=ball ! video/x-raw,width=320,height=240,framerate=25/1 \
  ! jpegenc ! multipartmux boundary=gst ! fdsink fd=1 2>/dev/null
SH
  socat "TCP-LISTEN:$port,bind=127.0.0.1,reuseaddr" EXEC:"bash $dir/serve.sh" >"$dir/socat.out" 2>&1 &
  pids+=("$!")
  grab_from_peer "$name" "$frames" "$port" "$!" "$dir/socat.out"
}

if [ "$which" = ffmpeg ] || [ "$which" = all ]; then
  if ! command -v ffmpeg >/dev/null || ! command -v djpeg >/dev/null; then
    fail "ffmpeg and djpeg are needed"
  else
    ffmpeg_case ffmpeg 50
  fi
fi
if [ "$which" = gstreamer ] || [ "$which" = all ]; then
  if ! command -v gst-launch-1.0 >/dev/null || ! command -v socat >/dev/null; then
    fail "gstreamer1.0-tools, gstreamer1.0-plugins-good and socat are needed"
  else
    gstreamer_case gstreamer 50
  fi
fi
echo "camgrab-e2e: $failures failures"
[ "$failures" = 0 ]
