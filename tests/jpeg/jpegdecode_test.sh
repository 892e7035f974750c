#!/bin/bash
# jpegdecode: P6 for colour, P5 for grey, exit 0; a refused file exits non-zero with its code on stderr.
set -euo pipefail
tool=$1
corpus=$(cd "$(dirname "$0")" && pwd)/corpus
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

"$tool" "$corpus/seq422.jpg" "$out/c.ppm"
[ "$(sed -n 1p "$out/c.ppm")" = "P6" ] || { echo "colour frame did not give P6"; exit 1; }
[ "$(sed -n 2p "$out/c.ppm")" = "33 17" ] || { echo "wrong size line"; exit 1; }
[ "$(stat -c %s "$out/c.ppm")" -eq $((13 + 33 * 17 * 3)) ] || { echo "wrong pixel byte count"; exit 1; }

"$tool" "$corpus/grey.jpg" "$out/g.pgm"
[ "$(sed -n 1p "$out/g.pgm")" = "P5" ] || { echo "grey frame did not give P5"; exit 1; }
[ "$(stat -c %s "$out/g.pgm")" -eq $((11 + 8 * 8)) ] || { echo "wrong grey byte count"; exit 1; }

# A frame whose precision byte says 12 bits.
python3 - "$corpus/seq444.jpg" "$out/bad.jpg" <<'PY'
import sys
d = bytearray(open(sys.argv[1], 'rb').read())
i = d.find(b'\xff\xc0')
d[i + 4] = 12
open(sys.argv[2], 'wb').write(d)
PY
if "$tool" "$out/bad.jpg" "$out/bad.ppm" 2> "$out/err"; then echo "refused file exited 0"; exit 1; fi
[ "$(cat "$out/err")" = "-205" ] || { echo "expected -205 on stderr, got: $(cat "$out/err")"; exit 1; }
[ ! -e "$out/bad.ppm" ] || { echo "wrote output for a refused file"; exit 1; }
echo "jpegdecode: ok"
