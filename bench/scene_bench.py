#!/usr/bin/python3
"""The scene benchmark of `make bench`: the whole commands, then the stages.

First the whole process as a user runs it: `ormax-cli codes SCENE --level 0 --error 0
-o DIR --jobs 1` (reading, analysis, writing every code file, exit) against the C++
peer, ormax_opencv_peer (bench/opencv_peer.cpp: OpenCV, reading, labelling, moments,
one CSV file of the regions), both writing to a folder on a disk and to one on tmpfs,
median of the runs with a new folder each run, with each process's peak memory (on the
disk also right after deleting the folder of the run before, as a user who writes a
scene's codes again meets it); and
against the Python peer (bench/opencv_peer.py, which writes nothing). With --tar,
`-o OUT.tar` too (one archive instead of a file per region). Then, per scene, the
stages in-process, and the views: `ormax-cli view` as a whole (the Representation
view with outlines against the filled one) and the drawing alone. And what finding the
background costs: the whole `ormax-cli recognize` of the large scene with
`--background auto` against `--background white`, runs interleaved, on the scene as
drawn and as a photo of it (tinted paper with sensor noise).

For each generated scene it runs our pipeline stage by stage (one process per scene,
so each peak memory is the scene's own) and the peer (bench/opencv_peer.py) on the
same BMP, and prints a table of the median times with our time over theirs. Then the
large scene at 1x, 2x and 4x its number of shapes, Build Trees at level 0 only. With
--soft, the same program built with the extended type in software (-DORMAX_SOFT_EXTENDED=ON)
beside the long double one, on the small and large scenes.

    scene_bench.py BUILD_DIR [--runs N] [--scenes small,large,noise] [--whole large,noise,noise8k,sparse]
                   [--disk DIR] [--tar] [--views noise,sparse] [--background large]
                   [--soft SOFT_BUILD_DIR]

"none" leaves out the whole commands, the stages or the views. --disk is where the
output goes on a disk (default: BUILD_DIR/bench-output); the tmpfs one is /dev/shm.
"""
import argparse
import os
import shutil
import statistics
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


def run_whole(command, check=True):
    """Seconds and peak resident kilobytes of one whole process; None for a failure
    when not check.

    The peak is GNU time's, where there is one: a process started by this script
    inherits the script's own peak (the kernel keeps it across exec), which after
    listing a quarter of a million files is larger than many a command's."""
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    peak_file = None
    if os.access("/usr/bin/time", os.X_OK):
        handle, peak_file = tempfile.mkstemp(prefix="ormax-peak-")
        os.close(handle)
        command = ["/usr/bin/time", "-f", "%M", "-o", peak_file] + command
    start = time.perf_counter()
    child = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=env)
    _, status, usage = os.wait4(child.pid, 0)
    seconds = time.perf_counter() - start
    message = child.stderr.read().decode()
    child.stderr.close()
    peak = usage.ru_maxrss
    if peak_file:
        with open(peak_file) as f:
            lines = [line for line in f.read().split() if line.isdigit()]
        os.remove(peak_file)
        if lines:
            peak = int(lines[-1])
    if status != 0:
        if not check:
            return None
        raise SystemExit("failed: %s\n%s" % (" ".join(command), message))
    return seconds, peak


def median_whole(command, runs, before=None, check=True):
    """Median seconds and the highest peak of the runs; None when the command fails
    and not check. command is the command, or a function of the run (0, 1, ...) that
    gives it."""
    results = []
    for run in range(runs):
        if before:
            before()
        result = run_whole(command(run) if callable(command) else command, check)
        if result is None:
            return None
        results.append(result)
    results.sort()
    return results[len(results) // 2][0], max(r[1] for r in results)


def file_system(path):
    """The file system of path as the mount table names it, "ext4, no journal" for an
    ext4 the kernel keeps no journal of: there, a file made soon after many were deleted
    waits while the kernel skips every recently freed inode."""
    real = os.path.realpath(path)
    best = None
    try:
        with open("/proc/mounts") as mounts:
            for line in mounts:
                device, point, kind = line.split()[:3]
                point = point.replace("\\040", " ")
                inside = real == point or real.startswith(point.rstrip("/") + "/")
                if inside and (best is None or len(point) >= len(best[1])):
                    best = (device, point, kind)
    except OSError:
        pass
    if best is None:
        out = subprocess.run(["stat", "-f", "-c", "%T", path], capture_output=True, text=True)
        return out.stdout.strip() or "unknown"
    device, _, kind = best
    if kind == "ext4" and os.path.isdir("/proc/fs/jbd2"):
        name = os.path.basename(device)
        if not any(j.startswith(name + "-") for j in os.listdir("/proc/fs/jbd2")):
            return "ext4, no journal"
    return kind


def fresh(folder):
    """Before each run: an empty output folder, nothing left of the run before."""
    def make():
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
    return make


def two_cores(args, ours_bin, cli, tmp):
    """`codes --level 5` with --jobs 1 and --jobs 2, in turn, the archive on tmpfs where
    there is one: medians and the median of the paired ratios."""
    scenes = [s for s in args.two_cores.split(",") if s and s != "none"]
    if not scenes:
        return
    out_dir = "/dev/shm" if os.path.isdir("/dev/shm") else tmp
    archive = os.path.join(out_dir, "ormax-two-cores-%d.tar" % os.getpid())
    # The system's writing back of the files of the tables before would take a core.
    os.sync()
    print("\nTwo cores: `ormax-cli codes SCENE --level 5 --error 0 -o %s --jobs N`, whole processes, "
          "N = 1 and 2 in turn, %d pairs:" % (archive, args.two_cores_runs))
    print("| scene | --jobs 1 | --jobs 2 | ratio of the medians | median of the paired ratios |")
    print("|---|---:|---:|---:|---:|")
    for scene in scenes:
        bmp = os.path.join(tmp, scene + ".bmp")
        subprocess.run([ours_bin, scene, "--bmp", bmp, "--write-only"], check=True)
        times = {1: [], 2: []}
        for _ in range(args.two_cores_runs):
            for jobs in (1, 2):
                times[jobs].append(run_whole([cli, "codes", bmp, "--level", "5", "--error", "0",
                                              "-o", archive, "--jobs", str(jobs)])[0])
        one, two = statistics.median(times[1]), statistics.median(times[2])
        paired = statistics.median(a / b for a, b in zip(times[1], times[2]))
        print("| %s | %s | %s | %.2f | %.2f |" % (scene, fmt(one), fmt(two), one / two, paired))
        os.remove(bmp)
    if os.path.exists(archive):
        os.remove(archive)


def whole_commands(args, ours_bin, cli, peer, tmp):
    scenes = [s for s in ("large", "noise", "noise8k", "sparse") if s in args.whole.split(",")]
    if not scenes:
        return
    cpp_peer = os.path.join(args.build, "ormax_opencv_peer")
    if not os.access(cpp_peer, os.X_OK):
        print("The C++ peer (%s) is not built (OpenCV's development files missing?): "
              "only the Python peer.\n" % cpp_peer)
        cpp_peer = None
    # Writing tens of thousands of files to a disk varies by seconds from run to run,
    # to memory (tmpfs) much less: both are timed.
    disk_root = args.disk or os.path.join(args.build, "bench-output")
    os.makedirs(disk_root, exist_ok=True)
    places = [("disk", tempfile.mkdtemp(prefix="ormax-codes-", dir=disk_root))]
    if os.path.isdir("/dev/shm") and file_system("/dev/shm") == "tmpfs":
        places.append(("tmpfs", tempfile.mkdtemp(prefix="ormax-codes-", dir="/dev/shm")))
    for kind, folder in places:
        print("Output on %s: %s (%s)%s" % (kind, folder, file_system(folder),
                                          "  -- not a disk!" if kind == "disk" and
                                          file_system(folder) == "tmpfs" else ""))
    print()
    timed = {}   # (scene, what, place) -> (seconds, peak kB)
    regions = {}  # (scene, what) -> number of regions written
    tar_notes = []
    sizes = {"large": (4096, 4096), "noise": (4096, 4096), "noise8k": (8192, 8192), "sparse": (3000, 2000)}
    # sparse: 3000 x 2000 with 5 % noise, a quarter of a million regions mostly of one pixel.
    # On a disk, each run of ours writes a folder of its own and nothing is deleted until
    # every other run is timed: on an ext4 without a journal a file made within minutes
    # of many being deleted waits while the kernel skips every freed inode (see
    # file_system), so deleting the run before's folder would time the deletion's
    # aftermath, not the writing. That case, what a user meets writing again right after
    # deleting the last output, is timed last, for its own column. Every run on the disk
    # starts after what the runs before wrote has reached it (untimed), as in two_cores.
    # Keeping every folder takes a file and an inode per code of every run (1.6 million
    # at the defaults): where the disk has less room, the folders go after each run.
    room = os.statvfs(places[0][1])
    keep = room.f_favail >= 4000000 and room.f_bavail * room.f_frsize >= 20 << 30
    if not keep:
        print("Note: under 4 million free inodes or 20 GB free on the disk: each run's folder is deleted "
              "after it, and the disk column is timed after deleting as the last one is.\n")
    kept = []  # the folders of one file per code kept on the disk
    bmps = {}
    try:
        timed_scenes(args, scenes, places, cli, cpp_peer, ours_bin, peer, tmp, keep, kept, bmps,
                     timed, regions, tar_notes)
    finally:
        for path in kept + list(bmps.values()):
            if os.path.isdir(path):
                shutil.rmtree(path, ignore_errors=True)
            elif os.path.exists(path):
                os.remove(path)
        for _, folder in places:
            shutil.rmtree(folder, ignore_errors=True)
        if not args.disk:
            try:
                os.rmdir(disk_root)
            except OSError:
                pass
    print_whole(args, scenes, places, sizes, timed, regions, tar_notes)


def on_disk_after(before):
    """before, then a sync: each run on the disk starts with nothing of the runs before
    it still to be written."""
    def make():
        if before:
            before()
        os.sync()
    return make


def timed_scenes(args, scenes, places, cli, cpp_peer, ours_bin, peer, tmp, keep, kept, bmps,
                 timed, regions, tar_notes):
    """The whole commands' runs, into timed and regions; the folders kept and the scenes
    made go into kept and bmps, for the caller to remove however the runs end."""
    level0 = ["--level", "0", "--error", "0", "--jobs", "1"]
    for scene in scenes:
        bmp = bmps[scene] = os.path.join(tmp, scene + ".bmp")
        subprocess.run([ours_bin, scene, "--bmp", bmp, "--write-only"], check=True)
        for kind, folder in places:
            out = os.path.join(folder, "out")
            disk = kind == "disk"
            if disk and keep:
                outs = [os.path.join(folder, "%s-%d" % (scene, run)) for run in range(args.runs)]
                for path in outs:
                    kept.append(path)
                    os.makedirs(path)
                timed[scene, "ours", kind] = median_whole(
                    lambda run: [cli, "codes", bmp] + level0 + ["-o", outs[run]], args.runs,  # noqa: B023
                    on_disk_after(None))
                regions[scene, "ours"] = len(os.listdir(outs[-1]))
            else:
                before = on_disk_after(fresh(out)) if disk else fresh(out)
                timed[scene, "ours", kind] = median_whole([cli, "codes", bmp] + level0 + ["-o", out],
                                                          args.runs, before)
                regions[scene, "ours"] = len(os.listdir(out))
            if cpp_peer:
                timed[scene, "cpp", kind] = median_whole([cpp_peer, bmp, out], args.runs,
                                                         on_disk_after(fresh(out)) if disk else fresh(out))
                with open(os.path.join(out, "regions.csv")) as csv:
                    regions[scene, "cpp"] = sum(1 for _ in csv) - 1  # less the header
            if args.tar and not any(note.startswith(scene + ":") for note in tar_notes):
                archive = os.path.join(out, "codes.tar")
                result = median_whole([cli, "codes", bmp] + level0 + ["-o", archive], args.runs,
                                      on_disk_after(fresh(out)) if disk else fresh(out), check=False)
                if result is None:
                    tar_notes.append("%s: ormax-cli codes -o OUT.tar refused (nonzero exit): no tar rows" % scene)
                elif not os.path.isfile(archive):
                    tar_notes.append("%s: ormax-cli codes -o OUT.tar wrote no archive (a folder of that name?): "
                                     "no tar rows" % scene)
                else:
                    timed[scene, "tar", kind] = result
                    if kind == places[-1][0]:
                        listing = subprocess.run(["tar", "-tf", archive], check=True,
                                                 capture_output=True, text=True).stdout
                        regions[scene, "tar"] = listing.count("\n")
            shutil.rmtree(out, ignore_errors=True)
        timed[scene, "python"] = median_whole(peer + [bmp, "1"], args.runs)
        if scene == "large":
            # The old setting of the Python peer's table, on tmpfs where there is one.
            out = os.path.join(places[-1][1], "out")
            timed[scene, "ours5"] = median_whole([cli, "codes", bmp, "--level", "5", "--error", "0.05",
                                                  "--jobs", "1", "-o", out], args.runs, fresh(out))
            shutil.rmtree(out, ignore_errors=True)
    # Last, on the disk: each run right after the folder of the run before is deleted;
    # the first run, untimed, writes the folder the first timed one follows.
    for scene in scenes:
        out = os.path.join(places[0][1], "out")
        command = [cli, "codes", bmps[scene]] + level0 + ["-o", out]
        if keep:
            run_whole(command)
            timed[scene, "ours", "deleted"] = median_whole(command, args.runs, on_disk_after(fresh(out)))
        else:
            timed[scene, "ours", "deleted"] = timed[scene, "ours", "disk"]
        shutil.rmtree(out, ignore_errors=True)


def print_whole(args, scenes, places, sizes, timed, regions, tar_notes):
    """The tables of the whole commands."""
    def cell(key):
        return fmt(timed[key][0]) if timed.get(key) else "-"

    def ratio(a, b):
        return "%.2f" % (timed[a][0] / timed[b][0]) if timed.get(a) and timed.get(b) else ""

    kinds = [k for k, _ in places]
    print("Whole commands, `ormax-cli codes SCENE --level 0 --error 0 -o DIR --jobs 1` against the C++ peer "
          "`ormax_opencv_peer SCENE DIR` (one CSV file), median of %d, a new folder each run (on the disk "
          "nothing deleted meanwhile; \"after deleting\": each run right after the folder of the run before "
          "was deleted); peak resident memory of the process (max over the runs):" % args.runs)
    print("| scene | regions (ours / C++ peer) | ours, disk | C++ peer, disk | ours / peer "
          "| ours, disk, after deleting | ours / peer | ours, tmpfs "
          "| C++ peer, tmpfs | ours / peer | our peak | / pixel matrix | C++ peer peak |")
    print("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
    for scene in scenes:
        width, height = sizes[scene]
        matrix_kb = 4 * width * height / 1024
        for what, title in (("ours", scene), ("tar", scene + ", -o OUT.tar")):
            if not any(timed.get((scene, what, k)) for k in kinds):
                continue
            peak = max(timed[scene, what, k][1] for k in kinds if timed.get((scene, what, k)))
            peer_peaks = [timed[scene, "cpp", k][1] for k in kinds if timed.get((scene, "cpp", k))]
            print("| %s | %s / %s | %s | %s | %s | %s | %s | %s | %s | %s | %.0f MB | %.2f | %s |"
                  % (title, regions.get((scene, what), "-"), regions.get((scene, "cpp"), "-"),
                     cell((scene, what, "disk")), cell((scene, "cpp", "disk")),
                     ratio((scene, what, "disk"), (scene, "cpp", "disk")),
                     cell((scene, what, "deleted")), ratio((scene, what, "deleted"), (scene, "cpp", "disk")),
                     cell((scene, what, "tmpfs")), cell((scene, "cpp", "tmpfs")),
                     ratio((scene, what, "tmpfs"), (scene, "cpp", "tmpfs")),
                     peak / 1024, peak / matrix_kb,
                     "%.0f MB" % (max(peer_peaks) / 1024) if peer_peaks else "-"))
    for note in tar_notes:
        print("Note: " + note)

    last = kinds[-1]
    print("\nWhole commands against the Python peer (bench/opencv_peer.py: reading, labelling, moments, "
          "writing nothing; median of %d), ours writing to %s:" % (args.runs, last))
    print("| scene | command | ours | peer | ours / peer | our peak | / pixel matrix | peer peak |")
    print("|---|---|---:|---:|---:|---:|---:|---:|")
    for scene in scenes:
        width, height = sizes[scene]
        matrix_kb = 4 * width * height / 1024
        theirs, their_peak = timed[scene, "python"]
        rows = [("level 0", timed[scene, "ours", last])]
        if timed.get((scene, "ours5")):
            rows.append(("level 5, error 0.05", timed[scene, "ours5"]))
        for title, (ours, peak) in rows:
            print("| %s | codes, %s | %s | %s | %.2f | %.0f MB | %.2f | %.0f MB |"
                  % (scene, title, fmt(ours), fmt(theirs), ours / theirs, peak / 1024,
                     peak / matrix_kb, their_peak / 1024))
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
    parser.add_argument("--disk", help="a folder on a disk for the whole commands' output "
                        "(default: BUILD_DIR/bench-output)")
    parser.add_argument("--tar", action="store_true", help="also ormax-cli codes -o OUT.tar")
    parser.add_argument("--views", default="noise,sparse")
    parser.add_argument("--background", default="large")
    parser.add_argument("--soft")
    parser.add_argument("--two-cores", default="large,noise",
                        help="scenes timed with --jobs 1 and 2 at level 5 ('none': no table)")
    parser.add_argument("--two-cores-runs", type=int, default=15)
    args = parser.parse_args()
    ours_bin = os.path.join(args.build, "ormax_scenebench")
    cli = os.path.join(args.build, "ormax-cli")
    peer = [sys.executable, os.path.join(HERE, "opencv_peer.py")]
    tmp = tempfile.mkdtemp(prefix="ormax-bench-")
    whole_commands(args, ours_bin, cli, peer, tmp)
    two_cores(args, ours_bin, cli, tmp)
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
