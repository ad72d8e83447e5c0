#!/usr/bin/env python3
"""The Python module releases the interpreter's lock while it analyses and recognises:
the sample scenes recognised by one Python thread and by two at once (each scene on
one thread of its own), wall time, median of three runs.
Usage: python_threads.py BUILD_DIR [COPIES]   (make bench runs it)"""
import pathlib
import statistics
import sys
import threading
import time

sys.path.insert(0, str(pathlib.Path(sys.argv[1]) / "python"))
import ormax  # noqa: E402

SOURCE = pathlib.Path(__file__).resolve().parents[1]
copies = int(sys.argv[2]) if len(sys.argv) > 2 else 8
scenes = sorted(str(p) for p in (SOURCE / "examples" / "scenes").glob("*.bmp")) * copies
base = ormax.Base.load(str(SOURCE / "examples" / "base" / "base.txt"))


def work(paths):
    for p in paths:
        ormax.Scene.from_file(p).recognize(base, top=3, threads=1)


def timed(threads):
    parts = [scenes[i::threads] for i in range(threads)]
    runners = [threading.Thread(target=work, args=(part,)) for part in parts]
    start = time.perf_counter()
    for t in runners:
        t.start()
    for t in runners:
        t.join()
    return time.perf_counter() - start


one = statistics.median(timed(1) for _ in range(3))
two = statistics.median(timed(2) for _ in range(3))
print(f"python threads: {len(scenes)} scenes recognised (top 3) in {one:.2f} s by one thread, "
      f"{two:.2f} s by two ({one / two:.2f} x)")
