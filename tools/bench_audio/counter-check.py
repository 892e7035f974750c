#!/usr/bin/env python3
"""Finds the simulator's counter signal (sample k = k mod 65536) in a capture of the sound card
(16-bit little-endian mono) and checks how it was played.

  counter-check.py RAW [--connection-samples N] [--min-runs N] [--min-samples N] [--single-run]

A run is a stretch of the counter where each sample is the previous one plus 1. The sound
server of a loaded machine sometimes underruns: some ms of silence, and Wine's mixer catching
up may skip a few samples. Such a glitch (at most --glitch-skip values skipped, at most
--glitch-zeros silent samples) joins two runs into one; anything else (a jump back, a repeat,
a skip of more, a longer silence, noise) breaks it, except skips that add up to at most
--dropped (the samples the readers report they dropped to stay close to the camera when the
sound card fell behind). Silences put in by the player itself while samples wait are counted
by the reader (its "short" refills), not here.
Prints one line:
  runs=R counter_samples=S glitches=G first_values=.. last_values=.. noise=Z silent=Q
and exits 1 when a check fails:
  --connection-samples N  every run covers 0 .. N-1 (a whole connection of the simulator),
                          the last one may end early (the capture ended)
  --min-runs N            at least N runs
  --min-samples N         at least N counter samples in all
  --single-run            one run only: no gap at all
Samples that are neither silence nor part of a stretch of 8 or more count as noise; any noise fails.
"""
import argparse
import array
import sys


def stretches(samples):
    found = []  # [start offset, length, first value]
    prev = None
    for i, v in enumerate(samples):
        if prev is not None and v == (prev + 1) & 0xFFFF and found and found[-1][0] + found[-1][1] == i:
            found[-1][1] += 1
        elif v != 0 or (i + 1 < len(samples) and samples[i + 1] == 1):
            found.append([i, 1, v])
        prev = v
    return found


def runs_of(samples, glitch_zeros, glitch_skip, dropped):
    """Joins stretches across glitches, and across skips the player reported as dropped.
    Each run: [first value, values covered, samples, glitches, silences of 200 samples or more
    without a skip, first offset, last offset]. Returns runs and noise."""
    runs, noise = [], 0
    last_end = last_value = None
    for start, length, first in stretches(samples):
        skip = (first - last_value - 1) & 0xFFFF if runs else -1  # the counter wraps at 65536
        if skip > 0x8000:
            skip = -1  # a jump back
        joins = runs and start - last_end <= glitch_zeros and 0 <= skip <= max(glitch_skip, dropped)
        if joins:
            if skip > glitch_skip:
                dropped -= skip
            run = runs[-1]
            run[1] += skip + length
            run[2] += length
            run[3] += 1
            run[4] += skip == 0 and start - last_end >= 200
            run[6] = start + length
        elif length < 8:
            noise += length
            continue
        else:
            runs.append([first, length, length, 0, 0, start, start + length])
        last_end, last_value = start + length, first + length - 1
    return runs, noise


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("raw")
    ap.add_argument("--connection-samples", type=int, default=0)
    ap.add_argument("--min-runs", type=int, default=0)
    ap.add_argument("--min-samples", type=int, default=0)
    ap.add_argument("--single-run", action="store_true")
    ap.add_argument("--glitch-zeros", type=int, default=2000)
    ap.add_argument("--glitch-skip", type=int, default=400)
    ap.add_argument("--dropped", type=int, default=0)
    a = ap.parse_args()
    with open(a.raw, "rb") as f:
        raw = f.read()
    data = array.array("H")
    data.frombytes(raw[: len(raw) // 2 * 2])
    if sys.byteorder != "little":
        data.byteswap()
    samples = data.tolist()
    runs, noise = runs_of(samples, a.glitch_zeros, a.glitch_skip, a.dropped)
    counter = sum(r[2] for r in runs)
    glitches = sum(r[3] for r in runs)
    pauses = sum(r[4] for r in runs)
    span = (runs[-1][6] - runs[0][5]) / 8000.0 if runs else 0.0
    print("runs=%d counter_samples=%d glitches=%d pauses=%d span_s=%.1f per_s=%.0f first_values=%s last_values=%s "
          "noise=%d silent=%d" % (
        len(runs), counter, glitches, pauses, span, counter / span if span else 0, ",".join(str(r[0]) for r in runs[:12]),
        ",".join(str((r[0] + r[1] - 1) & 0xFFFF) for r in runs[:12]), noise, len(samples) - counter - noise))
    failures = []
    if noise:
        failures.append("%d samples of noise" % noise)
    if len(runs) < a.min_runs:
        failures.append("%d runs, wanted at least %d" % (len(runs), a.min_runs))
    if counter < a.min_samples:
        failures.append("%d counter samples, wanted at least %d" % (counter, a.min_samples))
    if a.single_run and len(runs) != 1:
        failures.append("the counter broke into %d runs" % len(runs))
    if a.connection_samples:
        for n, r in enumerate(runs):
            whole = r[1] == a.connection_samples or (n == len(runs) - 1 and r[1] < a.connection_samples)
            if r[0] != 0 or not whole:
                failures.append("run %d covers %d values from %d, wanted %d from 0" % (n, r[1], r[0], a.connection_samples))
    for f in failures:
        print("FAIL: " + f, file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
