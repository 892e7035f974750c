#!/usr/bin/env python3
"""Reads back the AVI files of one recording case against camsim's frame log.

check_avi.py DIR FRAMELOG [--files N|--min-files N] [--max-bytes N] [--sizes] [--joined] [--gaps]

Every file: finalised (RIFF size and index whole), ffprobe finds one MJPG video stream at 30/1
with a frame rectangle of a camera size, every sample is a key frame from FF D8 to FF D9 whose
frame header has that size, every frame decodes with ffmpeg, and every sample is byte-identical
(CRC-32) to a frame camsim sent, in the order sent. --gaps: the positions show gaps in some file
(the frame clock runs faster than the camera; a backlog taken in at once fills consecutive ones). --sizes: the files have more than one picture size. --joined: no
frame is lost between one file and the next.
"""
import argparse
import json
import os
import re
import struct
import subprocess
import sys
import zlib

SIZES = {(640, 480), (320, 240), (176, 144)}


def riff_samples(path):
    data = open(path, "rb").read()
    if data[:4] != b"RIFF" or data[8:12] != b"AVI ":
        raise ValueError("not a RIFF AVI")
    riff_end = struct.unpack("<I", data[4:8])[0] + 8
    # Wine's AVIFile leaves a few zero bytes after the RIFF list.
    if riff_end > len(data) or len(data) - riff_end > 64 or data[riff_end:].strip(b"\0"):
        raise ValueError("RIFF size %d does not match the file's %d bytes" % (riff_end, len(data)))
    movi = data.find(b"LIST", 12)
    while movi >= 0 and data[movi + 8:movi + 12] != b"movi":
        movi = data.find(b"LIST", movi + 4)
    if movi < 0:
        raise ValueError("no movi list")
    end = movi + 8 + struct.unpack("<I", data[movi + 4:movi + 8])[0]
    p, samples = movi + 12, []
    while p + 8 <= end:
        ckid, size = data[p:p + 4], struct.unpack("<I", data[p + 4:p + 8])[0]
        if ckid[2:] in (b"dc", b"db"):
            samples.append(data[p + 8:p + 8 + size])
        p += 8 + size + (size & 1)
    if data.find(b"idx1", end) < 0:
        raise ValueError("no index")
    return samples


def sof_size(jpeg):
    p = 2
    while p + 9 <= len(jpeg):
        marker, length = jpeg[p + 1], (jpeg[p + 2] << 8) | jpeg[p + 3]
        if 0xC0 <= marker <= 0xCF and marker not in (0xC4, 0xC8, 0xCC):
            return (jpeg[p + 7] << 8) | jpeg[p + 8], (jpeg[p + 5] << 8) | jpeg[p + 6]
        p += 2 + length
    return None


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("dir")
    ap.add_argument("framelog")
    ap.add_argument("--files", type=int)
    ap.add_argument("--min-files", type=int, default=1)
    ap.add_argument("--max-bytes", type=int)
    ap.add_argument("--sizes", action="store_true")
    ap.add_argument("--joined", action="store_true")
    ap.add_argument("--gaps", action="store_true")
    a = ap.parse_args()

    sent = {}
    for line in open(a.framelog):
        m = re.match(r"conn=(\d+) frame=(\d+) size=(\d+) crc32=([0-9A-Fa-f]+)", line)
        if m:
            sent[(int(m.group(3)), int(m.group(4), 16))] = (int(m.group(1)), int(m.group(2)))
    files = sorted(f for f in os.listdir(a.dir) if f.lower().endswith(".avi"))
    bad = []
    if a.files is not None and len(files) != a.files:
        bad.append("%d files, expected %d: %s" % (len(files), a.files, files))
    if len(files) < a.min_files:
        bad.append("%d files, expected at least %d" % (len(files), a.min_files))
    previous, sizes, total, long_files, gapped = None, set(), 0, 0, 0
    for name in files:
        path = os.path.join(a.dir, name)
        if not re.fullmatch(r"\d{4}_\d\d_\d\d_\d\d_\d\d_\d\d_REC(_\d+)?\.avi", name):
            bad.append("%s: not named from the camera's stamp" % name)
        if a.max_bytes and os.path.getsize(path) > a.max_bytes:
            bad.append("%s: %d bytes, more than %d" % (name, os.path.getsize(path), a.max_bytes))
        try:
            samples = riff_samples(path)
        except ValueError as e:
            bad.append("%s: %s" % (name, e))
            continue
        probe = json.loads(subprocess.run(
            ["ffprobe", "-v", "error", "-of", "json", "-show_streams", "-show_packets", path],
            capture_output=True, text=True).stdout or "{}")
        streams = probe.get("streams", [])
        if len(streams) != 1:
            bad.append("%s: %d streams" % (name, len(streams)))
            continue
        s = streams[0]
        size = (s.get("width"), s.get("height"))
        sizes.add(size)
        if (s.get("codec_type"), s.get("codec_name"), s.get("codec_tag_string"), s.get("r_frame_rate")) != \
                ("video", "mjpeg", "MJPG", "30/1") or size not in SIZES:
            bad.append("%s: stream %s" % (name, {k: s.get(k) for k in
                       ("codec_type", "codec_name", "codec_tag_string", "r_frame_rate", "width", "height")}))
        packets = [p for p in probe.get("packets", []) if int(p.get("size", 0)) > 0]
        if len(packets) != len([x for x in samples if x]) or not packets:
            bad.append("%s: ffprobe sees %d frames, the file holds %d" % (name, len(packets), len(samples)))
        if any("K" not in p.get("flags", "") for p in packets):
            bad.append("%s: a frame that is not a key frame" % name)
        pts = [int(p["pts"]) for p in packets]
        # A backlog taken in at once fills consecutive positions; the camera's pace leaves gaps.
        if len(pts) > 30:
            long_files += 1
            gapped += pts[-1] - pts[0] + 1 > len(pts)
        decode = subprocess.run(["ffmpeg", "-v", "error", "-xerror", "-i", path, "-f", "null", "-"],
                                capture_output=True, text=True)
        if decode.returncode != 0 or decode.stderr.strip():
            bad.append("%s: ffmpeg: %s" % (name, decode.stderr.strip()[:200]))
        first = True
        for n, jpeg in enumerate(x for x in samples if x):
            if jpeg[:2] != b"\xff\xd8" or jpeg[-2:] != b"\xff\xd9":
                bad.append("%s: frame %d is not FF D8 ... FF D9" % (name, n))
            if sof_size(jpeg) != size:
                bad.append("%s: frame %d is %s in a %s file" % (name, n, sof_size(jpeg), size))
            key = sent.get((len(jpeg), zlib.crc32(jpeg)))
            if key is None:
                bad.append("%s: frame %d (%d bytes) is no frame camsim sent" % (name, n, len(jpeg)))
                continue
            if previous is not None and (key[0] != previous[0] or key[1] <= previous[1]):
                bad.append("%s: frame %d is camsim's %s after %s" % (name, n, key, previous))
            if first and a.joined and previous is not None and key[1] != previous[1] + 1:
                bad.append("%s: starts with camsim's frame %d after %d ended the file before" % (name, key[1], previous[1]))
            first = False
            previous = key
            total += 1
    if a.gaps and long_files and not gapped:
        bad.append("no gaps in the positions of any file")
    if a.sizes and len(sizes) < 2:
        bad.append("one picture size only: %s" % sizes)
    for b in bad[:12]:
        print("FAIL: %s: %s" % (os.path.basename(a.dir), b))
    print("%s: %d files, %d frames checked%s" % (os.path.basename(a.dir), len(files), total,
                                                 ", %d problems" % len(bad) if bad else ""))
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
