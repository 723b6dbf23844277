#!/usr/bin/env python3
"""Two builds of peltrak on one frame, in many back-to-back pairs: the median of the per-pair ratios.

bench/capture/run.sh times every program in a few rounds; a difference of a few per cent between two
builds of the tool needs far more pairs than that to stand out from the noise. Each pair runs both
builds once, in an order that alternates, and the ratio is taken within the pair. Both builds must
read the same block; run.sh's bench builds do (build-bench-capture/{lean,baseline}/).
  bench/capture/paired.py --publish PUBLISH --block NAME --size 640x480 --pairs 201 \
      EXE:OUTPUT_DIR EXE:OUTPUT_DIR
"""
import argparse
import glob
import os
import resource
import statistics
import subprocess
import time


def run(exe, output):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    subprocess.run([exe], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    for capture in glob.glob(os.path.join(output, "*.bmp")):
        os.remove(capture)
    return wall, (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--publish", required=True)
    parser.add_argument("--block", required=True)
    parser.add_argument("--size", default="640x480")
    parser.add_argument("--pairs", type=int, default=201)
    parser.add_argument("first", help="EXE:OUTPUT_DIR, the numerator")
    parser.add_argument("second", help="EXE:OUTPUT_DIR, the denominator")
    args = parser.parse_args()
    builds = [args.first.split(":", 1), args.second.split(":", 1)]
    width, height = args.size.split("x")
    subprocess.run([args.publish, "--name", args.block, "pattern", width, height, "4"], check=True,
                   stdout=subprocess.DEVNULL)
    walls, cpus = [], []
    try:
        for pair in range(args.pairs):
            order = [0, 1] if pair % 2 == 0 else [1, 0]
            times = {b: run(*builds[b]) for b in order}
            walls.append(times[0][0] / times[1][0])
            if times[1][1] > 0:
                cpus.append(times[0][1] / times[1][1])
    finally:
        subprocess.run([args.publish, "--name", args.block, "remove"], stdout=subprocess.DEVNULL)
    quartiles = statistics.quantiles(walls, n=4)
    print(f"{args.pairs} pairs at {args.size}: first / second, wall median {statistics.median(walls):.3f} "
          f"(quartiles {quartiles[0]:.3f}-{quartiles[2]:.3f}), CPU median {statistics.median(cpus):.3f}; "
          f"load average {os.getloadavg()[0]:.2f}")


if __name__ == "__main__":
    main()
