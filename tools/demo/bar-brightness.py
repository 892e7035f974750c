#!/usr/bin/env python3
"""The mean brightness (0-255) of the simulator's grey bar in a live view's screenshot.
Usage: bar-brightness.py SHOT.bmp X,Y,W,H"""
import importlib.util
import os
import sys

spec = importlib.util.spec_from_file_location(
    "picture_check", os.path.join(os.path.dirname(__file__), "..", "camhost", "picture-check.py"))
check = importlib.util.module_from_spec(spec)
spec.loader.exec_module(check)


def main():
    width, height, pixel = check.read_bmp(sys.argv[1])
    x, y, w, h = (int(v) for v in sys.argv[2].split(","))
    _, _, x0, x1, y0, y1 = next(a for a in check.AREAS if a[0] == "grey bar")
    values = [sum(pixel(x + int(w * (x0 + (x1 - x0) * i / 10)), y + int(h * (y0 + (y1 - y0) * j / 10))))
              / 3 for i in range(11) for j in range(11)]
    print(round(sum(values) / len(values)))


if __name__ == "__main__":
    main()
