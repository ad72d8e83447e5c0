#!/usr/bin/python3
"""The views' whole commands of two builds, before and after a change, in one run.

Times `ormax-cli view SCENE --view V -o OUT.bmp` (reading, Build Trees at level 0,
drawing, writing) of each build as a process, the builds' runs interleaved so that both
meet the same machine, and prints the median time and the peak resident memory. The
scenes are made by the second build's ormax_scenebench: the 5 % noise scene (3000 x
2000) and the half-noise scene (4096 x 4096).

    compare_views.py BEFORE_BUILD_DIR AFTER_BUILD_DIR [--runs N]

A build of an earlier commit: `git worktree add /tmp/before COMMIT`, then
`cmake -S /tmp/before -B /tmp/before/build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo`
and `ninja -C /tmp/before/build ormax-cli`.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import tempfile

from scene_bench import run_whole

CASES = [
    ("sparse", ["--view", "representation", "--fill"]),
    ("sparse", ["--view", "representation", "--outline"]),
    ("noise", ["--view", "quadro"]),
    ("noise", ["--view", "representation", "--fill"]),
    ("noise", ["--view", "representation", "--outline"]),
]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("before")
    parser.add_argument("after")
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    builds = [("before", os.path.join(args.before, "ormax-cli")),
              ("after", os.path.join(args.after, "ormax-cli"))]
    tmp = tempfile.mkdtemp(prefix="ormax-views-")
    try:
        for scene in sorted({scene for scene, _ in CASES}):
            subprocess.run([os.path.join(args.after, "ormax_scenebench"), scene, "--bmp",
                            os.path.join(tmp, scene + ".bmp"), "--write-only"], check=True)
        out = os.path.join(tmp, "view.bmp")
        times = {}
        for _ in range(args.runs):
            for scene, options in CASES:
                for name, cli in builds:
                    command = [cli, "view", os.path.join(tmp, scene + ".bmp")] + options + ["-o", out]
                    times.setdefault((scene, " ".join(options)), {}).setdefault(name, []).append(run_whole(command))
        print("Median of %d runs, peak resident memory:" % args.runs)
        print("| scene | view | before | after | after / before | peak before | peak after |")
        print("|---|---|---:|---:|---:|---:|---:|")
        for (scene, options), by in times.items():
            before = statistics.median(t for t, _ in by["before"])
            after = statistics.median(t for t, _ in by["after"])
            print("| %s | %s | %.2f s | %.2f s | %.2f | %.0f MB | %.0f MB |"
                  % (scene, options, before, after, after / before, max(kb for _, kb in by["before"]) / 1024,
                     max(kb for _, kb in by["after"]) / 1024))
    finally:
        shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    main()
