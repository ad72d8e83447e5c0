#!/usr/bin/python3
"""The peer of the scene benchmark: what a person would write with OpenCV instead.

Reads the BMP, finds the 8-connected regions of the non-white pixels with
connectedComponentsWithStats, and fits per region the ellipse of the moments of its
crop. Single-threaded. Prints "name seconds" lines (median of the runs) and the peak
memory, like ormax_scenebench.

    opencv_peer.py SCENE.bmp [RUNS]
"""
import resource
import sys
import time

import cv2
import numpy as np


def median(runs, work):
    times = []
    result = None
    for _ in range(runs):
        start = time.perf_counter()
        result = work()
        times.append(time.perf_counter() - start)
    times.sort()
    return times[len(times) // 2], result


def segment(image):
    mask = np.any(image != 255, axis=2).astype(np.uint8)
    return cv2.connectedComponentsWithStats(mask, connectivity=8, ltype=cv2.CV_32S)


def ellipses(components):
    count, labels, stats, _ = components
    out = []
    for i in range(1, count):
        x, y, w, h = (int(v) for v in stats[i, :4])
        crop = (labels[y:y + h, x:x + w] == i).astype(np.uint8)
        m = cv2.moments(crop, binaryImage=True)
        n = m["m00"]
        a, b, c = m["mu20"] / n + 1 / 12, m["mu11"] / n, m["mu02"] / n + 1 / 12
        root = np.sqrt(((a - c) / 2) ** 2 + b * b)
        l1, l2 = (a + c) / 2 + root, (a + c) / 2 - root
        angle = 0.5 * np.arctan2(2 * b, a - c)
        out.append((x + m["m10"] / n, y + m["m01"] / n, 2 * np.sqrt(l1), 2 * np.sqrt(max(l2, 0)), angle))
    return out


def main():
    cv2.setNumThreads(1)
    path = sys.argv[1]
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 3
    read, image = median(runs, lambda: cv2.imread(path, cv2.IMREAD_COLOR))
    seg, components = median(runs, lambda: segment(image))
    fit, found = median(runs, lambda: ellipses(components))
    print("scene_read %.6f" % read)
    print("segmentation %.6f" % seg)
    print("ellipses %.6f" % fit)
    print("build_trees_0 %.6f" % (seg + fit))
    print("regions %d" % len(found))
    print("peak_mb %.1f" % (resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024.0))


if __name__ == "__main__":
    main()
