#!/usr/bin/python3
"""The peer of the collections benchmark: what a person who owns a collection of shape
pictures would write with OpenCV instead.

Per picture: grayscale, Otsu's threshold (dark ink on a light ground), the largest
outer contour (findContours, RETR_EXTERNAL); pictures are compared with matchShapes
(Hu moments) under each of its three measures, CONTOURS_MATCH_I1, I2 and I3, the query
picture first. No threshold on the match: every picture gets the nearest one's shape.

  leave-one-out  every picture of the collection against all the others: the nearest
                 one's shape right or not ("accuracy"); of the N pictures of its shape,
                 the share of the other N - 1 among its 2N nearest ("retrieval"),
                 averaged over the pictures
  counted        leave-one-out again among the collection's pictures marked counted
                 (those the other side could take), for figures on the same pictures
                 ("counted_accuracy", "counted_retrieval")
  unseen         every test picture against the whole collection: the nearest one's
                 shape right or not ("unseen_accuracy")

    opencv_collection_peer.py COLLECTION.csv TESTS.csv

COLLECTION.csv: shape,file[,counted] (counted 1 or 0; without the column, all are);
TESTS.csv: shape,file. Prints one JSON object; single-threaded.
"""
import csv
import json
import math
import sys
import time

import cv2

METHODS = {"I1": cv2.CONTOURS_MATCH_I1, "I2": cv2.CONTOURS_MATCH_I2, "I3": cv2.CONTOURS_MATCH_I3}


def read_list(path):
    with open(path, newline="") as f:
        return [(row["shape"], row["file"], row.get("counted", "1") != "0")
                for row in csv.DictReader(f)]


def largest_contour(path):
    gray = cv2.imread(path, cv2.IMREAD_GRAYSCALE)
    if gray is None:
        sys.exit(f"opencv_collection_peer.py: cannot read {path}")
    _, mask = cv2.threshold(gray, 0, 255, cv2.THRESH_BINARY_INV | cv2.THRESH_OTSU)
    found, _ = cv2.findContours(mask, cv2.RETR_EXTERNAL, cv2.CHAIN_APPROX_NONE)
    return max(found, key=lambda c: (cv2.contourArea(c), len(c)), default=None)


def distance(a, b, method):
    if a is None or b is None:
        return math.inf
    d = cv2.matchShapes(a, b, method, 0)
    return d if math.isfinite(d) else math.inf


def leave_one_out(shapes, contours, method):
    n = len(shapes)
    counts = {s: shapes.count(s) for s in set(shapes)}
    right = 0
    retrieval = 0.0
    for i in range(n):
        others = sorted((distance(contours[i], contours[j], method), j) for j in range(n) if j != i)
        right += shapes[others[0][1]] == shapes[i]
        same = counts[shapes[i]]
        hits = sum(shapes[j] == shapes[i] for _, j in others[:2 * same])
        retrieval += hits / (same - 1) if same > 1 else 0
    return 100.0 * right / n, 100.0 * retrieval / n


def unseen(shapes, contours, test_shapes, test_contours, method):
    right = 0
    for truth, query in zip(test_shapes, test_contours):
        _, j = min((distance(query, c, method), j) for j, c in enumerate(contours))
        right += shapes[j] == truth
    return 100.0 * right / len(test_shapes) if test_shapes else 0.0


def main():
    cv2.setNumThreads(1)
    collection = read_list(sys.argv[1])
    tests = read_list(sys.argv[2])
    started = time.perf_counter()
    shapes = [s for s, _, _ in collection]
    contours = [largest_contour(f) for _, f, _ in collection]
    kept = [i for i, (_, _, counted) in enumerate(collection) if counted]
    test_shapes = [s for s, _, _ in tests]
    test_contours = [largest_contour(f) for _, f, _ in tests]
    result = {
        "pictures": len(collection),
        "tests": len(tests),
        "no_contour": sum(c is None for c in contours + test_contours),
        "methods": {},
    }
    for name, method in METHODS.items():
        t = time.perf_counter()
        accuracy, retrieval = leave_one_out(shapes, contours, method)
        if len(kept) == len(collection):
            counted_accuracy, counted_retrieval = accuracy, retrieval
        else:
            counted_accuracy, counted_retrieval = leave_one_out(
                [shapes[i] for i in kept], [contours[i] for i in kept], method)
        result["methods"][name] = {
            "accuracy": accuracy,
            "retrieval": retrieval,
            "counted_accuracy": counted_accuracy,
            "counted_retrieval": counted_retrieval,
            "unseen_accuracy": unseen(shapes, contours, test_shapes, test_contours, method),
            "seconds": time.perf_counter() - t,
        }
    result["seconds"] = time.perf_counter() - started
    json.dump(result, sys.stdout, indent=1)
    sys.stdout.write("\n")


if __name__ == "__main__":
    main()
