#!/usr/bin/env python3
"""Turns Google Benchmark's JSON into the table of RESULTS.md: per workload the median time of each
implementation and its ratio to the fastest peer (every implementation but ours). The table goes between
the TABLE markers; everything else in the file (the notes) is kept.

Further JSON files, if given, are paired runs (every implementation of a workload timed once, back to
back): for them the table gives, per workload and peer, the median over the runs of ours / peer, which
the load of a shared machine disturbs much less than a ratio of separate medians."""
import os
import json
import platform
import statistics
import subprocess
import sys

BEGIN, END = "<!-- TABLE BEGIN -->", "<!-- TABLE END -->"


def package_version(name):
    try:
        return subprocess.run(["dpkg-query", "-W", "-f=${Version}", name], capture_output=True,
                              text=True, check=True).stdout.strip()
    except (OSError, subprocess.CalledProcessError):
        return "?"


def cpu_name():
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.processor()


def paired_lines(paths):
    ratios = {}
    for path in paths:
        with open(path) as f:
            data = json.load(f)
        times = {}
        for b in data["benchmarks"]:
            if b.get("run_type") != "iteration":
                continue
            workload, impl = b["run_name"].split("/", 1)
            times.setdefault(workload, {})[impl] = b["cpu_time"]
        for workload, impls in times.items():
            for impl, t in impls.items():
                if impl != "ours" and "ours" in impls:
                    ratios.setdefault((workload, impl), []).append(impls["ours"] / t)
    if not ratios:
        return []
    lines = ["", f"Paired runs ({len(paths)}): median of the per-run ratios ours / peer, with their range.", "",
             "| Workload | peer | ours / peer (median) | range |", "|---|---|---:|---|"]
    for (workload, impl), values in ratios.items():
        lines.append(f"| {workload} | {impl} | {statistics.median(values):.2f} | "
                     f"{min(values):.2f}-{max(values):.2f} |")
    return lines


def load_average():
    with open('/proc/loadavg') as f:
        return f.read().split()[0]


def main(json_path, md_path, paired_paths=()):
    with open(json_path) as f:
        data = json.load(f)
    medians = {}
    order = []
    for b in data["benchmarks"]:
        if b.get("aggregate_name", "median") != "median" and b.get("run_type") == "aggregate":
            continue
        if b.get("run_type") == "iteration" and any(x.get("run_type") == "aggregate" for x in data["benchmarks"]):
            continue
        workload, impl = b["run_name"].split("/", 1)
        if workload not in medians:
            medians[workload] = {}
            order.append(workload)
        medians[workload][impl] = b["cpu_time"]  # ns; CPU time, since the core is shared
    ctx = data["context"]
    reps = next((b.get("repetitions") for b in data["benchmarks"] if "repetitions" in b), 1)
    lines = [BEGIN, "",
             f"Machine: {cpu_name()}, {ctx.get('num_cpus')} cores at {ctx.get('mhz_per_cpu')} MHz, "
             f"run on {ctx.get('date')}, pinned with `taskset -c 1`, load average "
             f"{os.environ.get('PELTRAK_LOAD_BEFORE', '?')} before and {load_average()} after (the benchmark "
             "itself counts 1). Above 1.2 the machine was shared, and single numbers may be off by 10-30 %.",
             f"Versions: g++ {package_version('g++-12')} (-O2), Google Benchmark "
             f"{package_version('libbenchmark-dev')}, GMP {package_version('libgmp-dev')}, Boost "
             f"{package_version('libboost-dev')}, fmt {package_version('libfmt-dev')}, libstdc++ "
             f"{package_version('libstdc++-12-dev')}.",
             f"Each cell: median of {reps} repetitions, CPU ns per call (CPU time rather than wall time, "
             "because the core was shared); ratio = ours / fastest peer (below 1 means we are faster). "
             "Where they exist, ours / to_chars and snprintf / ours are shown too.", "",
             "| Workload | ours (ns) | fastest peer | peer (ns) | ours / fastest | ours / to_chars "
             "| snprintf / ours | other peers (ns) |",
             "|---|---:|---|---:|---:|---:|---:|---|"]
    for w in order:
        impls = medians[w]
        ours = impls.get("ours")
        peers = {k: v for k, v in impls.items() if k != "ours"}
        best = min(peers, key=peers.get)
        others = ", ".join(f"{k} {v:.1f}" for k, v in peers.items() if k != best)
        to_chars = f"{ours / peers['to_chars']:.2f}" if "to_chars" in peers else ""
        snprintf = f"{peers['snprintf'] / ours:.2f}" if "snprintf" in peers else ""
        lines.append(f"| {w} | {ours:.1f} | {best} | {peers[best]:.1f} | {ours / peers[best]:.2f} | {to_chars} "
                     f"| {snprintf} | {others} |")
    lines += paired_lines(paired_paths)
    lines += ["", END]
    table = "\n".join(lines)
    try:
        with open(md_path) as f:
            old = f.read()
    except OSError:
        old = "# Print engine and wide-integer benchmark\n\nReproduce with `bench/print/run.sh`.\n\n" \
              f"{BEGIN}\n{END}\n"
    if BEGIN in old and END in old:
        new = old[:old.index(BEGIN)] + table + old[old.index(END) + len(END):]
    else:
        new = old + "\n" + table + "\n"
    with open(md_path, "w") as f:
        f.write(new)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2], sys.argv[3:])
