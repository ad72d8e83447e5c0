"""examples/dask_recognize.py on a local cluster of two worker processes gives the
table of `ormax-cli recognize --format csv`, also when a worker dies midway."""
import csv
import io
import os
import shutil
import signal
import subprocess
import sys
import time

import pytest
from distributed import Client, LocalCluster

from conftest import BASE, SCENES, SOURCE, cli

SCRIPT = SOURCE / "examples" / "dask_recognize.py"


@pytest.fixture(scope="module")
def folder(tmp_path_factory):
    """The sample scenes ten times over (and a file that is no picture), sorted as the
    script and the shell glob sort them."""
    d = tmp_path_factory.mktemp("scenes")
    for i in range(10):
        for scene in SCENES:
            shutil.copy(scene, d / f"{i:02d}-{scene.name}")
    (d / "notes.txt").write_text("not a scene")
    return d


@pytest.fixture(scope="module")
def expected(folder):
    scenes = sorted(str(p) for p in folder.glob("*.bmp"))
    return cli("recognize", *scenes, "--base", BASE, "--format", "csv", "--top", 2)


@pytest.fixture(scope="module")
def cluster():
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                      dashboard_address=None) as c, Client(c) as client:
        yield c, client


def run_script(folder, scheduler, out, *extra):
    return subprocess.Popen(
        [sys.executable, str(SCRIPT), str(folder), "--base", str(BASE), "--scheduler", scheduler,
         "--top", "2", "-o", str(out), *extra], stderr=subprocess.PIPE, text=True)


def rows(text):
    return list(csv.reader(io.StringIO(text)))


def test_the_table_is_the_command_lines_row_for_row(folder, expected, cluster, tmp_path):
    c, _ = cluster
    done = run_script(folder, c.scheduler_address, tmp_path / "r.csv")
    _, err = done.communicate(timeout=300)
    assert done.returncode == 0, err
    got = (tmp_path / "r.csv").read_text()
    assert rows(got) == rows(expected) and len(rows(got)) > 40
    assert got == expected


def test_a_worker_killed_midway_still_gives_the_same_table(folder, expected, cluster, tmp_path):
    c, client = cluster
    # One scene a task: many tasks, so the kill falls among them.
    run = run_script(folder, c.scheduler_address, tmp_path / "r.csv", "--scenes-per-task", "1")

    def finished():
        return client.run_on_scheduler(lambda dask_scheduler: sum(
            1 for ts in dask_scheduler.tasks.values()
            if "recognise" in str(ts.key) and ts.state == "memory"))

    deadline = time.time() + 120
    while finished() < 3 and run.poll() is None and time.time() < deadline:
        time.sleep(0.02)
    assert run.poll() is None, "the run ended before a worker could be killed"
    pids = client.run(os.getpid)
    victim = sorted(pids)[0]
    os.kill(pids[victim], signal.SIGKILL)
    _, err = run.communicate(timeout=300)
    assert run.returncode == 0, err
    assert (tmp_path / "r.csv").read_text() == expected
    client.wait_for_workers(2, timeout=60)  # the nanny started a new one
    assert pids[victim] not in client.run(os.getpid).values()


def test_a_bad_base_fails_before_the_cluster_is_asked(folder, tmp_path):
    done = subprocess.run([sys.executable, str(SCRIPT), str(folder), "--base",
                           str(tmp_path / "none.txt"), "-o", str(tmp_path / "r.csv")],
                          capture_output=True, text=True, timeout=60)
    assert done.returncode == 1 and "none.txt" in done.stderr
    assert not (tmp_path / "r.csv").exists()
