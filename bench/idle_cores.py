#!/usr/bin/python3
"""Where a command leaves a core idle: a perf profile cut into steps of time.

    perf record -F 2000 -e cpu-clock -o PERF.DATA build/ormax-cli codes SCENE ... --jobs 2
    bench/idle_cores.py PERF.DATA [--hz 2000] [--step-ms 10] [--cores 2] [--all]

For each step it counts the samples of every thread (a busy core gives hz x step
samples) and prints the steps where fewer than all cores were busy, each with the two
functions most sampled in it, then the idle core time of the whole run. The functions
of a step where one core works alone are what stays on one thread.
"""
import argparse
import collections
import subprocess


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("data")
    parser.add_argument("--hz", type=int, default=2000)
    parser.add_argument("--step-ms", type=float, default=10)
    parser.add_argument("--cores", type=int, default=2)
    parser.add_argument("--all", action="store_true", help="print every step")
    args = parser.parse_args()
    out = subprocess.run(["perf", "script", "-i", args.data, "-F", "tid,time,ip,sym"],
                         capture_output=True, text=True, check=True).stdout
    samples = []
    for line in out.splitlines():
        fields = line.split()
        try:
            at = float(fields[1].rstrip(":"))
        except (ValueError, IndexError):
            continue
        samples.append((at, " ".join(fields[3:])[:40] if len(fields) > 3 else "?"))
    if not samples:
        print("no samples")
        return
    step = args.step_ms / 1000
    start = samples[0][0]
    steps = collections.defaultdict(collections.Counter)
    for at, function in samples:
        steps[int((at - start) / step)][function] += 1
    full = args.hz * step
    idle = 0.0
    for k in range(max(steps) + 1):
        busy = sum(steps[k].values()) / full
        idle += max(0.0, args.cores - busy) * step
        if args.all or busy < args.cores - 0.4:
            top = ", ".join("%s %d" % f for f in steps[k].most_common(2))
            print("%6.0f ms  cores %4.2f  %s" % (k * args.step_ms, busy, top))
    print("idle core time %.0f ms of %.0f ms" % (idle * 1000, (max(steps) + 1) * args.step_ms))


if __name__ == "__main__":
    main()
