"""Times a capture into an empty output directory against one that already holds many captures.

The tool's output directory is a symbolic link (WORK/current) that is pointed at WORK/empty or at
WORK/full before each run; the two alternate within a round, in an order that flips every round, and
each run's new capture is removed again, so both directories stay as they were. The earlier captures
are hard links to a few empty files (an ext4 inode takes at most 65,000 links): they cost directory
entries, which is what a capture that reads its directory pays for, and next to no disk. Prints the
median wall and CPU times of both and the medians of the paired ratios (full / empty).
"""
import argparse
import os
import statistics
import subprocess
import time

LINKS_PER_FILE = 60000


def fill(directory, count):
    """count earlier captures' names; none of them starts the way a capture made now does ("0" + month)."""
    os.makedirs(directory, exist_ok=True)
    source = None
    for i in range(count):
        name = os.path.join(directory, "00_0_0_0-%d_image_test.bmp" % i)
        if i % LINKS_PER_FILE == 0:
            with open(name, "wb"):
                pass
            source = name
        else:
            os.link(source, name)


def remove_capture(directory, started, ended):
    """Removes the capture a run made between started and ended: its name is that of a second between them."""
    for second in range(int(started) - 1, int(ended) + 2):
        local = time.localtime(second)
        stem = "0%d%d_%d_%d_%d" % (local.tm_mon, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec)
        for copy in ["", "-2", "-3"]:
            path = os.path.join(directory, stem + copy + "_image_test.bmp")
            if os.path.exists(path):
                os.remove(path)
                return
    raise RuntimeError("the capture in %s is missing" % directory)


def run(measure, tool, work, which):
    current = os.path.join(work, "current")
    os.remove(current)
    os.symlink(which, current)
    started = time.time()
    done = subprocess.run([measure, tool], stdout=subprocess.PIPE, check=True)
    ended = time.time()
    wall, user, system, _, status = done.stdout.decode().strip().splitlines()[-1].split()
    if int(status) != 0:
        raise RuntimeError("the tool exited with status %s" % status)
    remove_capture(os.path.join(work, which), started, ended)
    return int(wall) / 1000.0, (int(user) + int(system)) / 1000.0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--tool", required=True)
    parser.add_argument("--measure", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--files", type=int, default=1000000)
    parser.add_argument("--rounds", type=int, default=21)
    args = parser.parse_args()

    os.makedirs(os.path.join(args.work, "empty"), exist_ok=True)
    if not os.path.lexists(os.path.join(args.work, "current")):
        os.symlink("empty", os.path.join(args.work, "current"))
    began = time.time()
    fill(os.path.join(args.work, "full"), args.files)
    print("made %d earlier captures in %.0f s" % (args.files, time.time() - began))

    samples = {"empty": [], "full": []}
    for round_number in range(args.rounds + 1):
        order = ["empty", "full"] if round_number % 2 == 0 else ["full", "empty"]
        results = {which: run(args.measure, args.tool, args.work, which) for which in order}
        if round_number > 0:  # The first round warms the caches and is not counted.
            for which in order:
                samples[which].append(results[which])

    def median(values):
        return statistics.median(values)

    load = os.getloadavg()[0]
    for which in ["empty", "full"]:
        print("%-5s %8d files: median wall %.2f ms, median CPU %.2f ms"
              % (which, 0 if which == "empty" else args.files, median([w for w, _ in samples[which]]),
                 median([c for _, c in samples[which]])))
    wall = median([f[0] / e[0] for f, e in zip(samples["full"], samples["empty"])])
    cpu = median([f[1] / e[1] for f, e in zip(samples["full"], samples["empty"])])
    print("full / empty, medians of %d paired ratios: wall %.3f, CPU %.3f (load average %.2f)"
          % (args.rounds, wall, cpu, load))


if __name__ == "__main__":
    main()
