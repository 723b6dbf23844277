#!/usr/bin/env python3
"""Turns Google Benchmark's JSON into the table of RESULTS.md: per workload the median time of each
implementation and its ratio to the fastest peer (every implementation but ours). The table goes between
the TABLE markers; everything else in the file (the notes) is kept."""
import json
import platform
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


def main(json_path, md_path):
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
             f"run on {ctx.get('date')}, pinned with `taskset -c 1`. The machine was shared with other "
             "builds and benchmarks while this ran, so single numbers may be off by 10-30 %.",
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
    main(sys.argv[1], sys.argv[2])
