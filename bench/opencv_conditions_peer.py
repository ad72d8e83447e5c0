#!/usr/bin/python3
"""The peer of the conditions benchmark: what a person would write with OpenCV instead.

Per picture: grayscale, Otsu's threshold (the ink taken as whatever differs from the
picture's border: dark on light or light on dark), the outer contours; per cell the
largest contour whose bounding box has its centre in the cell, matched by Hu moments
(matchShapes, CONTOURS_MATCH_I1) against the largest contour of each base picture; the
nearest base picture's name is the label ("none" for a cell without a contour). No
threshold on the match: every found shape gets a label. Single-threaded.

    opencv_conditions_peer.py BASE_PICTURES.csv TESTS.csv

BASE_PICTURES.csv: name,file. TESTS.csv: picture,cell,left,top,right,bottom,truth (the
cell's corners inclusive). Prints picture,cell,label: one line per cell.
"""
import csv
import sys

import cv2


def contours(path):
    gray = cv2.cvtColor(cv2.imread(path, cv2.IMREAD_COLOR), cv2.COLOR_BGR2GRAY)
    border = (gray[0, :].sum() + gray[-1, :].sum() + gray[1:-1, 0].sum() + gray[1:-1, -1].sum()) \
        / (2 * gray.shape[0] + 2 * gray.shape[1] - 4)
    mode = cv2.THRESH_BINARY_INV if border >= gray.mean() else cv2.THRESH_BINARY
    _, mask = cv2.threshold(gray, 0, 255, mode | cv2.THRESH_OTSU)
    found, _ = cv2.findContours(mask, cv2.RETR_EXTERNAL, cv2.CHAIN_APPROX_NONE)
    return found


def largest(found):
    return max(found, key=lambda c: (cv2.contourArea(c), len(c)), default=None)


def in_cell(contour, left, top, right, bottom):
    x, y, w, h = cv2.boundingRect(contour)
    cx, cy = x + (w - 1) / 2, y + (h - 1) / 2
    return left <= cx <= right + 0.5 and top <= cy <= bottom + 0.5


def main():
    cv2.setNumThreads(1)
    with open(sys.argv[1], newline="") as f:
        base = [(row["name"], largest(contours(row["file"]))) for row in csv.DictReader(f)]
    with open(sys.argv[2], newline="") as f:
        tests = list(csv.DictReader(f))
    out = csv.writer(sys.stdout, lineterminator="\n")
    out.writerow(["picture", "cell", "label"])
    cache = {}
    for t in tests:
        if t["picture"] not in cache:
            cache = {t["picture"]: contours(t["picture"])}
        box = [int(t[k]) for k in ("left", "top", "right", "bottom")]
        shape = largest([c for c in cache[t["picture"]] if in_cell(c, *box)])
        label = "none"
        if shape is not None:
            label = min(base, key=lambda b: cv2.matchShapes(shape, b[1], cv2.CONTOURS_MATCH_I1, 0))[0]
        out.writerow([t["picture"], t["cell"], label])


if __name__ == "__main__":
    main()
