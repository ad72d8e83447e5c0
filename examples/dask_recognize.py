#!/usr/bin/env python3
"""Recognises every scene of a folder on a Dask cluster and writes one CSV table.

    dask_recognize.py FOLDER --base LIST.txt [--scheduler ADDRESS] -o results.csv

The table is the one `ormax-cli recognize FOLDER/* --base LIST.txt --format csv`
writes for the same scenes, in the same order (the scenes sorted by name): each
scene is recognised by the `ormax` module on some worker, the base is loaded once
per worker, and the rows are joined in input order. Without --scheduler a local
cluster of --workers processes is started. Scenes and base must be readable under
the same paths on every worker (a shared folder). A scene that cannot be read is
reported on stderr and left out, like the command line does; the exit status is
then 1.
"""
import argparse
import os
import sys

import dask.bag
from distributed import Client, LocalCluster, get_worker

# The picture files of a folder the command line reads (formats Qt reads).
PICTURE_SUFFIXES = (".bmp", ".dib", ".png", ".jpg", ".jpeg", ".gif", ".pbm", ".pgm", ".ppm",
                    ".xbm", ".xpm")


def scene_paths(folder):
    """The pictures of the folder, sorted by name, as FOLDER/NAME."""
    names = sorted(n for n in os.listdir(folder) if n.lower().endswith(PICTURE_SUFFIXES))
    return [os.path.join(folder, n) for n in names]


def worker_base(base_list):
    """The base of the list, loaded once per worker process and kept on the worker."""
    import ormax
    worker = get_worker()
    bases = getattr(worker, "ormax_bases", None)
    if bases is None:
        bases = worker.ormax_bases = {}
    if base_list not in bases:
        bases[base_list] = ormax.Base.load(base_list)
    return bases[base_list]


def recognise(path, base_list, top, min_sameness):
    """(csv lines with header, problem) of one scene; the problem is None on success."""
    import ormax
    try:
        scene = ormax.Scene.from_file(path)
        csv = scene.recognition_csv(worker_base(base_list), path, top=top,
                                    min_sameness=min_sameness, threads=1)
        return csv, None
    except ormax.Error as e:
        return "", str(e)


def join_tables(pieces):
    """One header (the first scene's with rows), then every scene's rows in order."""
    header, rows = "", []
    for csv in pieces:
        if not csv:
            continue
        first, rest = csv.split("\n", 1)
        header = header or first + "\n"
        rows.append(rest)
    return header + "".join(rows)


def recognise_all(client, paths, base_list, top, min_sameness, scenes_per_task):
    """(table, problems) of the scenes, computed on the client's cluster."""
    if not paths:
        return "", []
    bag = dask.bag.from_sequence(paths, partition_size=scenes_per_task)
    results = client.compute(bag.map(recognise, base_list, top, min_sameness)).result()
    return join_tables(csv for csv, _ in results), [p for _, p in results if p]


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("folder", help="the folder of scene pictures")
    parser.add_argument("--base", required=True, help="the base list file")
    parser.add_argument("--scheduler", help="address of a Dask scheduler (tcp://host:8786)")
    parser.add_argument("--workers", type=int, default=os.cpu_count(),
                        help="worker processes of the local cluster without --scheduler")
    parser.add_argument("--top", type=int, default=1, help="as ormax-cli recognize --top")
    parser.add_argument("--min-sameness", type=float, default=None,
                        help="as ormax-cli recognize --min-sameness (default: its default)")
    parser.add_argument("--scenes-per-task", type=int, default=8,
                        help="scenes recognised by one task (a task is retried whole)")
    parser.add_argument("-o", "--output", required=True, help="the CSV file to write")
    args = parser.parse_args(argv)
    import ormax
    min_sameness = args.min_sameness  # None: the default rule (ormax.LABEL_RULE)
    ormax.Base.load(args.base)  # a bad base fails here, before the cluster is asked
    paths = scene_paths(args.folder)
    if args.scheduler:
        client = Client(args.scheduler)
    else:
        client = Client(LocalCluster(n_workers=args.workers, threads_per_worker=1,
                                     processes=True, dashboard_address=None))
    with client:
        table, problems = recognise_all(client, paths, os.path.abspath(args.base), args.top,
                                        min_sameness, args.scenes_per_task)
    with open(args.output, "w", newline="") as out:
        out.write(table)
    for p in problems:
        print(f"dask_recognize: {p}", file=sys.stderr)
    print(f"{len(paths)} scenes, {len(problems)} not read; {args.output} written",
          file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except Exception as e:  # ormax.Error for a bad base: the message names the file
        print(f"dask_recognize: {e}", file=sys.stderr)
        sys.exit(1)
