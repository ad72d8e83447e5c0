#!/usr/bin/python3
"""The whole commands of two builds, before and after a change, in one run.

Times `ormax-cli codes SCENE --level 0 --error 0 -o DIR` (the code files written to
memory where there is a tmpfs) and `ormax-cli view SCENE --view V -o OUT.bmp` of each
build as a process, the builds' runs interleaved so that both meet the same machine,
and prints the median time and the peak resident memory. The scenes are made by the
second build's ormax_scenebench: the shapes scene and the half-noise scene (4096 x
4096) and the 5 % noise scene (3000 x 2000).

    compare_builds.py BEFORE_BUILD_DIR AFTER_BUILD_DIR [--runs N] [--only codes|view|two-cores]

With `--only two-cores` it times `ormax-cli codes SCENE --level 5 --error 0 -o OUT.tar
--jobs N` with N = 1 and 2 on the shapes and half-noise scenes instead, and adds each
build's --jobs 1 over --jobs 2 (the ratio of the medians and the median of the ratios
of the runs, each run timing both in turn).

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

CODES = ["--level", "0", "--error", "0"]
CASES = [
    ("codes", "large", CODES),
    ("codes", "noise", CODES),
    ("codes", "sparse", CODES),
    ("view", "sparse", ["--view", "representation", "--fill"]),
    ("view", "sparse", ["--view", "representation", "--outline"]),
    ("view", "noise", ["--view", "quadro"]),
    ("view", "noise", ["--view", "representation", "--fill"]),
    ("view", "noise", ["--view", "representation", "--outline"]),
]
LEVEL5 = ["--level", "5", "--error", "0"]
TWO_CORES = [("two-cores", scene, LEVEL5 + ["--jobs", jobs])
             for scene in ("large", "noise") for jobs in ("1", "2")]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("before")
    parser.add_argument("after")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--only", choices=["codes", "view", "two-cores"])
    args = parser.parse_args()
    cases = TWO_CORES if args.only == "two-cores" else [
        case for case in CASES if args.only in (None, case[0])]
    builds = [("before", os.path.join(args.before, "ormax-cli")),
              ("after", os.path.join(args.after, "ormax-cli"))]
    tmp = tempfile.mkdtemp(prefix="ormax-builds-")
    codes = tempfile.mkdtemp(prefix="ormax-codes-", dir="/dev/shm" if os.path.isdir("/dev/shm") else tmp)
    try:
        for scene in sorted({scene for _, scene, _ in cases}):
            subprocess.run([os.path.join(args.after, "ormax_scenebench"), scene, "--bmp",
                            os.path.join(tmp, scene + ".bmp"), "--write-only"], check=True)
        out = os.path.join(tmp, "view.bmp")
        times = {}
        for _ in range(args.runs):
            for command, scene, options in cases:
                for name, cli in builds:
                    shutil.rmtree(codes, ignore_errors=True)
                    target = ["-o", {"codes": codes, "view": out}.get(command, codes + ".tar")]
                    run = [cli, "codes" if command == "two-cores" else command,
                           os.path.join(tmp, scene + ".bmp")] + options + target
                    times.setdefault((command, scene, " ".join(options)), {}).setdefault(name, []).append(
                        run_whole(run))
        print("Median of %d runs, peak resident memory:" % args.runs)
        print("| command | scene | options | before | after | after / before | peak before | peak after |")
        print("|---|---|---|---:|---:|---:|---:|---:|")
        for (command, scene, options), by in times.items():
            before = statistics.median(t for t, _ in by["before"])
            after = statistics.median(t for t, _ in by["after"])
            print("| %s | %s | %s | %.2f s | %.2f s | %.2f | %.0f MB | %.0f MB |"
                  % (command, scene, options, before, after, after / before, max(kb for _, kb in by["before"]) / 1024,
                     max(kb for _, kb in by["after"]) / 1024))
        if args.only == "two-cores":
            print("\n--jobs 1 over --jobs 2:")
            print("| scene | build | ratio of the medians | median of the runs' ratios |")
            print("|---|---|---:|---:|")
            for scene in ("large", "noise"):
                for name, _ in builds:
                    one = [t for t, _ in times["two-cores", scene, " ".join(LEVEL5 + ["--jobs", "1"])][name]]
                    two = [t for t, _ in times["two-cores", scene, " ".join(LEVEL5 + ["--jobs", "2"])][name]]
                    print("| %s | %s | %.2f | %.2f |" % (scene, name, statistics.median(one) / statistics.median(two),
                                                       statistics.median(a / b for a, b in zip(one, two))))
    finally:
        shutil.rmtree(tmp, ignore_errors=True)
        shutil.rmtree(codes, ignore_errors=True)
        if os.path.exists(codes + ".tar"):
            os.remove(codes + ".tar")


if __name__ == "__main__":
    main()
