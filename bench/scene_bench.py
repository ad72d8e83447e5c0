#!/usr/bin/python3
"""The scene benchmark of `make bench`: ormax_scenebench against the OpenCV peer.

For each generated scene it runs our pipeline stage by stage (one process per scene,
so each peak memory is the scene's own) and the peer (bench/opencv_peer.py) on the
same BMP, and prints a table of the median times with our time over theirs. Then the
large scene at 1x, 2x and 4x its number of shapes, Build Trees at level 0 only. With
--soft, the same program built with the extended type in software (-DORMAX_SOFT_EXTENDED=ON)
beside the long double one, on the small and large scenes.

    scene_bench.py BUILD_DIR [--runs N] [--scenes small,large,noise] [--soft SOFT_BUILD_DIR]
"""
import argparse
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))


def measures(command):
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    out = subprocess.run(command, check=True, capture_output=True, text=True, env=env).stdout
    return {k: float(v) for k, v in (line.split() for line in out.splitlines() if line.strip())}


def fmt(seconds):
    return "-" if seconds is None else ("%.1f ms" % (seconds * 1000) if seconds < 10 else "%.1f s" % seconds)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--scenes", default="small,large,noise")
    parser.add_argument("--soft")
    args = parser.parse_args()
    ours_bin = os.path.join(args.build, "ormax_scenebench")
    peer = [sys.executable, os.path.join(HERE, "opencv_peer.py")]
    tmp = tempfile.mkdtemp(prefix="ormax-bench-")
    stages = [
        ("scene read", "scene_read", "scene_read"),
        ("quadtree", "quadtree", None),
        ("segmentation", "segmentation", "segmentation"),
        ("trees, level 0", "trees_0", "ellipses"),
        ("trees, level 5, error 0.05", "trees_5", None),
        ("normalisation and codes", "codes", None),
        ("Build Trees, level 0", "build_trees_0", "build_trees_0"),
        ("Build Trees, level 5", "build_trees_5", "build_trees_0"),
        ("recognition, 1 thread", "recognition_1", None),
        ("recognition, all threads", "recognition_all", None),
    ]
    for scene in args.scenes.split(","):
        bmp = os.path.join(tmp, scene + ".bmp")
        ours = measures([ours_bin, scene, "--runs", str(args.runs), "--bmp", bmp])
        peak = measures([ours_bin, scene, "--peak"])
        theirs = measures(peer + [bmp, str(args.runs)])
        os.remove(bmp)
        print("\n%s scene: %d regions (peer: %d), %.1f %% non-white; recognition of %d codes "
              "against %d, on %d threads" % (scene, ours["regions"], theirs["regions"],
                                            100 * ours["non_white"], ours["recognition_codes"],
                                            ours["base_codes"], ours["threads"]))
        print("| stage | ours | OpenCV | ours / OpenCV |\n|---|---:|---:|---:|")
        for title, mine, peers in stages:
            a = ours.get(mine)
            b = theirs.get(peers) if peers else None
            ratio = "%.2f" % (a / b) if a is not None and b else ""
            print("| %s | %s | %s | %s |" % (title, fmt(a), fmt(b), ratio))
        print("| peak memory | %.0f MB (%.1f x the pixel matrix) | %.0f MB | |"
              % (peak["peak_mb"], peak["peak_over_matrix"], theirs["peak_mb"]))
        if ours.get("recognition_all"):
            print("recognition speed-up on all threads: %.2f x"
                  % (ours["recognition_1"] / ours["recognition_all"]))

    print("\nGrowth, large scene, Build Trees at level 0:")
    print("| shapes | regions | ours | OpenCV | ours / OpenCV | ours / 1x |\n|---|---:|---:|---:|---:|---:|")
    base = None
    for factor in (1, 2, 4):
        bmp = os.path.join(tmp, "growth.bmp")
        ours = measures([ours_bin, "large", "--factor", str(factor), "--runs", str(args.runs),
                         "--bmp", bmp, "--total"])
        theirs = measures(peer + [bmp, str(args.runs)])
        os.remove(bmp)
        base = base or ours["build_trees_0"]
        print("| %dx | %d | %s | %s | %.2f | %.2f |" % (factor, ours["regions"], fmt(ours["build_trees_0"]),
                                                  fmt(theirs["build_trees_0"]),
                                                  ours["build_trees_0"] / theirs["build_trees_0"],
                                                  ours["build_trees_0"] / base))
    os.rmdir(tmp)
    if args.soft:
        soft_table(ours_bin, os.path.join(args.soft, "ormax_scenebench"), args.runs)


def soft_table(long_double_bin, soft_bin, runs):
    print("\nThe extended type in software beside long double (x87):")
    print("| scene | stage | long double | software | software / long double |\n|---|---|---:|---:|---:|")
    for scene in ("small", "large"):
        hard = measures([long_double_bin, scene, "--runs", str(runs)])
        soft = measures([soft_bin, scene, "--runs", str(runs)])
        for title, key in (("Build Trees, level 0", "build_trees_0"),
                           ("Build Trees, level 5, error 0.05", "build_trees_5"),
                           ("recognition, 1 thread", "recognition_1")):
            print("| %s | %s | %s | %s | %.2f |" % (scene, title, fmt(hard[key]), fmt(soft[key]),
                                                    soft[key] / hard[key]))


if __name__ == "__main__":
    main()
