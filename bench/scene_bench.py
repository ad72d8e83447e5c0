#!/usr/bin/python3
"""The scene benchmark of `make bench`: the whole commands, then the stages.

First the whole process as a user runs it: `ormax-cli codes SCENE --level 0 --error 0
-o DIR` (reading, analysis, writing every code file, exit) against the whole peer
process (bench/opencv_peer.py: Python, OpenCV, reading, labelling, moments), median of
the runs, with each process's peak memory. Then, per scene, the stages in-process, and
the views: `ormax-cli view` as a whole (the Representation view with outlines against
the filled one) and the drawing alone. And what finding the background costs: the
whole `ormax-cli recognize` of the large scene with `--background auto` against
`--background white`, runs interleaved, on the scene as drawn and as a photo of it
(tinted paper with sensor noise).

For each generated scene it runs our pipeline stage by stage (one process per scene,
so each peak memory is the scene's own) and the peer (bench/opencv_peer.py) on the
same BMP, and prints a table of the median times with our time over theirs. Then the
large scene at 1x, 2x and 4x its number of shapes, Build Trees at level 0 only. With
--soft, the same program built with the extended type in software (-DORMAX_SOFT_EXTENDED=ON)
beside the long double one, on the small and large scenes.

    scene_bench.py BUILD_DIR [--runs N] [--scenes small,large,noise] [--whole large,noise,noise8k,sparse]
                   [--views noise,sparse] [--background large] [--soft SOFT_BUILD_DIR]

"none" leaves out the whole commands, the stages or the views.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))


def measures(command):
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    out = subprocess.run(command, check=True, capture_output=True, text=True, env=env).stdout
    return {k: float(v) for k, v in (line.split() for line in out.splitlines() if line.strip())}


def fmt(seconds):
    return "-" if seconds is None else ("%.1f ms" % (seconds * 1000) if seconds < 10 else "%.1f s" % seconds)


def run_whole(command):
    """Seconds and peak resident kilobytes of one whole process."""
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    start = time.perf_counter()
    child = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=env)
    _, status, usage = os.wait4(child.pid, 0)
    seconds = time.perf_counter() - start
    if status != 0:
        raise SystemExit("failed: %s\n%s" % (" ".join(command), child.stderr.read().decode()))
    child.stderr.close()
    return seconds, usage.ru_maxrss


def median_whole(command, runs, before=None):
    results = []
    for _ in range(runs):
        if before:
            before()
        results.append(run_whole(command))
    results.sort()
    return results[len(results) // 2][0], max(r[1] for r in results)


def whole_commands(args, ours_bin, cli, peer, tmp):
    print("Whole commands (median of %d; peak resident memory of the process):" % args.runs)
    print("| scene | command | ours | peer | ours / peer | our peak | / pixel matrix | peer peak |")
    print("|---|---|---:|---:|---:|---:|---:|---:|")
    # The code files go to memory where there is a tmpfs: on a disk, writing tens of
    # thousands of files varies by seconds from run to run.
    out = tempfile.mkdtemp(prefix="ormax-codes-", dir="/dev/shm" if os.path.isdir("/dev/shm") else tmp)
    clean = lambda: shutil.rmtree(out, ignore_errors=True)
    # sparse: 3000 x 2000 with 5 % noise, a quarter of a million regions mostly of one pixel.
    for scene, width, height in (("large", 4096, 4096), ("noise", 4096, 4096), ("noise8k", 8192, 8192),
                                 ("sparse", 3000, 2000)):
        if scene not in args.whole.split(","):
            continue
        bmp = os.path.join(tmp, scene + ".bmp")
        subprocess.run([ours_bin, scene, "--bmp", bmp, "--write-only"], check=True)
        matrix_kb = 4 * width * height / 1024
        theirs, their_peak = median_whole(peer + [bmp, "1"], args.runs)
        settings = [("level 0", ["--level", "0", "--error", "0"])]
        if scene == "large":
            settings.append(("level 5, error 0.05", ["--level", "5", "--error", "0.05"]))
        for title, options in settings:
            ours, peak = median_whole([cli, "codes", bmp, "-o", out] + options, args.runs, clean)
            print("| %s | codes, %s | %s | %s | %.2f | %.0f MB | %.2f | %.0f MB |"
                  % (scene, title, fmt(ours), fmt(theirs), ours / theirs, peak / 1024,
                     peak / matrix_kb, their_peak / 1024))
        os.remove(bmp)
    clean()
    shutil.rmtree(out, ignore_errors=True)
    print()


def photographed(bmp, out):
    """The scene as a photo of it: its white become tinted paper, sensor noise (sigma 6)
    on every pixel; a 24-bit BMP like the scene's own (seeded, so the same every run)."""
    import numpy as np
    data = open(bmp, "rb").read()
    offset = int.from_bytes(data[10:14], "little")
    width, height = (int.from_bytes(data[k:k + 4], "little", signed=True) for k in (18, 22))
    stride = (width * 3 + 3) // 4 * 4
    rows = np.frombuffer(data, np.uint8, stride * abs(height), offset).reshape(abs(height), stride)
    pixels = rows[:, :width * 3].reshape(abs(height), width, 3).astype(np.int16)
    paper = np.array([200, 225, 235], np.int16)  # blue, green, red: warm paper
    white = (pixels == 255).all(axis=2)
    photo = np.where(white[..., None], paper, pixels)
    photo = photo + np.random.default_rng(1).normal(0, 6, photo.shape).astype(np.int16)
    padded = np.zeros((abs(height), stride), np.uint8)
    padded[:, :width * 3] = np.clip(photo, 0, 255).astype(np.uint8).reshape(abs(height), width * 3)
    open(out, "wb").write(data[:offset] + padded.tobytes())


def background_cost(args, ours_bin, cli, tmp):
    """The whole recognize command with the background found against exact white."""
    scenes = [] if args.background == "none" else args.background.split(",")
    if not scenes:
        return
    base = os.path.join(os.path.dirname(HERE), "examples", "base", "base.txt")
    print("\nFinding the background, the whole command `ormax-cli recognize SCENE --base "
          "examples/base/base.txt --background B` (median of %d, runs interleaved; peak resident "
          "memory):" % args.runs)
    print("| scene | picture | white | auto | auto / white (drawn, white) | peak white | peak auto |\n"
          "|---|---|---:|---:|---:|---:|---:|")
    for scene in scenes:
        bmp = os.path.join(tmp, scene + ".bmp")
        photo = os.path.join(tmp, scene + "-photo.bmp")
        subprocess.run([ours_bin, scene, "--bmp", bmp, "--write-only"], check=True)
        # In a process of its own: a child's peak memory counts its parent's at the fork.
        subprocess.run([sys.executable, os.path.abspath(__file__), "--photograph", bmp, photo], check=True)
        white = [cli, "recognize", bmp, "--base", base, "--background", "white"]
        for title, picture in (("as drawn", bmp), ("photographed", photo)):
            auto = [cli, "recognize", picture, "--base", base, "--background", "auto"]
            pairs = [(run_whole(white), run_whole(auto)) for _ in range(args.runs)]
            w = sorted(p[0][0] for p in pairs)[len(pairs) // 2]
            a = sorted(p[1][0] for p in pairs)[len(pairs) // 2]
            ratio = sorted(p[1][0] / p[0][0] for p in pairs)[len(pairs) // 2]
            print("| %s | %s | %s | %s | %.2f | %.0f MB | %.0f MB |"
                  % (scene, title, fmt(w), fmt(a), ratio, max(p[0][1] for p in pairs) / 1024,
                     max(p[1][1] for p in pairs) / 1024))
        os.remove(bmp)
        os.remove(photo)


def views(args, ours_bin, cli, tmp):
    """The views: the whole `ormax-cli view` command, then the drawing alone."""
    scenes = [] if args.views == "none" else args.views.split(",")
    if not scenes:
        return
    print("\nViews, the whole command `ormax-cli view SCENE --view V -o OUT.bmp` (reading, Build Trees at "
          "level 0, drawing, writing; median of %d, peak resident memory):" % args.runs)
    print("| scene | Quadro | Representation, --fill | --outline | outline / fill | peak (outline) |\n"
          "|---|---:|---:|---:|---:|---:|")
    out = os.path.join(tmp, "view.bmp")
    for scene in scenes:
        bmp = os.path.join(tmp, scene + ".bmp")
        subprocess.run([ours_bin, scene, "--bmp", bmp, "--write-only"], check=True)
        view = lambda *options: median_whole([cli, "view", bmp, "-o", out] + list(options), args.runs)
        quadro, _ = view("--view", "quadro")
        filled, _ = view("--view", "representation", "--fill")
        outlined, peak = view("--view", "representation", "--outline")
        print("| %s | %s | %s | %s | %.2f | %.0f MB |" % (scene, fmt(quadro), fmt(filled), fmt(outlined),
                                                         outlined / filled, peak / 1024))
        os.remove(bmp)
    if os.path.exists(out):
        os.remove(out)
    print("\nViews, the drawing alone (after Build Trees at level 0), each a first drawing, on a picture of "
          "the scene's size:")
    print("| scene | Quadro | Representation, filled | with outlines | outlines / filled | the outlines' points alone |\n"
          "|---|---:|---:|---:|---:|---:|")
    for scene in scenes:
        v = measures([ours_bin, scene, "--runs", str(args.runs), "--views"])
        print("| %s | %s | %s | %s | %.2f | %s |" % (scene, fmt(v["view_quadro"]), fmt(v["view_filled"]),
                                                    fmt(v["view_outlined"]), v["view_outlined"] / v["view_filled"],
                                                    fmt(v["view_outlined_points"])))


def main():
    if len(sys.argv) == 4 and sys.argv[1] == "--photograph":
        photographed(sys.argv[2], sys.argv[3])
        return
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--scenes", default="small,large,noise")
    parser.add_argument("--whole", default="large,noise,noise8k,sparse")
    parser.add_argument("--views", default="noise,sparse")
    parser.add_argument("--background", default="large")
    parser.add_argument("--soft")
    args = parser.parse_args()
    ours_bin = os.path.join(args.build, "ormax_scenebench")
    cli = os.path.join(args.build, "ormax-cli")
    peer = [sys.executable, os.path.join(HERE, "opencv_peer.py")]
    tmp = tempfile.mkdtemp(prefix="ormax-bench-")
    whole_commands(args, ours_bin, cli, peer, tmp)
    background_cost(args, ours_bin, cli, tmp)
    stages = [
        ("scene read", "scene_read", "scene_read"),
        ("quadtree", "quadtree", None),
        ("segmentation", "segmentation", "segmentation"),
        ("trees, level 0", "trees_0", "ellipses"),
        ("trees, level 5, error 0.05", "trees_5", None),
        ("normalisation and codes", "codes", None),
        ("Build Trees, level 0", "build_trees_0", "build_trees_0"),
        ("Build Trees, level 5", "build_trees_5", "build_trees_0"),
        ("Build Trees, level 5, 1 thread", "build_trees_5_1", None),
        ("recognition, 1 thread", "recognition_1", None),
        ("recognition, all threads", "recognition_all", None),
    ]
    for scene in (args.scenes.split(",") if args.scenes != "none" else []):
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
        print("Build Trees speed-up on all threads (level 5): %.2f x"
              % (ours["build_trees_5_1"] / ours["build_trees_5"]))
        if ours.get("recognition_all"):
            print("recognition speed-up on all threads: %.2f x"
                  % (ours["recognition_1"] / ours["recognition_all"]))

    views(args, ours_bin, cli, tmp)
    if args.scenes == "none":
        os.rmdir(tmp)
        return
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
