#!/usr/bin/env python3
"""examples/dask_recognize.py on a local cluster of 1 and of 2 worker processes: the
sample scenes copied to COPIES x 3 scenes, wall time of the whole script (cluster
start included), and the table checked against ormax-cli recognize --format csv.
Usage: dask_bench.py BUILD_DIR [COPIES]   (make bench-dask runs it)"""
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import time

build = pathlib.Path(sys.argv[1]).resolve()
copies = int(sys.argv[2]) if len(sys.argv) > 2 else 100
source = pathlib.Path(__file__).resolve().parents[1]
base = source / "examples" / "base" / "base.txt"
env = dict(os.environ, PYTHONPATH=str(build / "python"), QT_QPA_PLATFORM="offscreen")
with tempfile.TemporaryDirectory() as work:
    folder = pathlib.Path(work) / "scenes"
    folder.mkdir()
    for i in range(copies):
        for scene in sorted((source / "examples" / "scenes").glob("*.bmp")):
            shutil.copy(scene, folder / f"{i:04d}-{scene.name}")
    paths = sorted(str(p) for p in folder.iterdir())
    start = time.perf_counter()
    expected = subprocess.run([str(build / "ormax-cli"), "recognize", *paths, "--base", str(base),
                               "--format", "csv"], env=env, capture_output=True, text=True,
                              check=True).stdout
    cli = time.perf_counter() - start
    print(f"dask: {len(paths)} scenes; ormax-cli recognize (2 cores): {cli:.1f} s")
    for workers in (1, 2):
        out = pathlib.Path(work) / f"r{workers}.csv"
        start = time.perf_counter()
        subprocess.run([sys.executable, str(source / "examples" / "dask_recognize.py"),
                        str(folder), "--base", str(base), "--workers", str(workers),
                        "-o", str(out)], env=env, check=True, capture_output=True)
        took = time.perf_counter() - start
        same = "the same table" if out.read_text() == expected else "A DIFFERENT TABLE"
        print(f"dask: {workers} local worker(s): {took:.1f} s, {same}")
