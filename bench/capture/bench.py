"""Times peltrak against the programs a user would pick instead, on frames published by peltrak-publish.

Every program runs as a whole process under `measure` (wall time, user and system CPU, peak resident
set). The programs alternate within each round, in an order that rotates from round to round, after
one warm-up round that is checked but not counted. Every output is read back with the BMP reader below
(numpy only, no OpenCV) and compared pixel for pixel with the block; a wrong or missing file stops the
benchmark. The summary goes into RESULTS.md between the two table markers; the rest of the file is
left as it stands. The chart (an SVG drawn with matplotlib) shows the median wall time of every program
at both frame sizes, with the lower bound marked.
"""
import argparse
import datetime
import os
import platform
import statistics
import struct
import subprocess
import sys

import numpy as np

PIXEL_OFFSET = 471
TABLE_BEGIN = "<!-- table: written by bench.py -->"
TABLE_END = "<!-- /table -->"


def read_bmp(path):
    """The pixels of an uncompressed 24-bit BMP as a top-down height x width x 3 array (blue, green, red)."""
    data = np.fromfile(path, dtype=np.uint8)
    if data.size < 54:
        raise ValueError("%s: %d bytes, too short for a BMP" % (path, data.size))
    (magic, file_size, _, _, offset, info_size, width, height, planes, bits,
     compression) = struct.unpack_from("<2sIHHIIiiHHI", data[:54].tobytes())
    if magic != b"BM" or info_size < 40 or planes != 1 or bits != 24 or compression != 0:
        raise ValueError("%s: not an uncompressed 24-bit BMP (%d bits, compression %d)" % (path, bits, compression))
    rows = abs(height)
    stride = (width * 3 + 3) // 4 * 4
    if width <= 0 or rows == 0 or file_size != data.size or offset + stride * rows > data.size:
        raise ValueError("%s: header sizes do not match the file" % path)
    pixels = data[offset:offset + stride * rows].reshape(rows, stride)[:, :width * 3].reshape(rows, width, 3)
    return pixels[::-1] if height > 0 else pixels


def check_output(path, expected):
    pixels = read_bmp(path)
    if pixels.shape != expected.shape:
        raise ValueError("%s: %s instead of %s" % (path, pixels.shape, expected.shape))
    wrong = np.argwhere(np.any(pixels != expected, axis=2))
    if wrong.size:
        y, x = wrong[0]
        raise ValueError("%s: %d wrong pixels, first at x %d, y %d: %s instead of %s"
                         % (path, len(wrong), x, y, pixels[y, x], expected[y, x]))


def block_frame(block, width, height):
    """What any capture must write: the block's BGRA pixels without alpha."""
    raw = np.fromfile("/dev/shm/" + block, dtype=np.uint8, count=PIXEL_OFFSET + width * height * 4)
    return raw[PIXEL_OFFSET:].reshape(height, width, 4)[:, :, :3].copy()


def measure(measure_tool, argv):
    done = subprocess.run([measure_tool] + argv, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, check=True)
    # The measured program's own output goes to the same pipe first; the runner's line comes last.
    wall, user, system, maxrss, status = done.stdout.decode(errors="replace").strip().splitlines()[-1].split()
    if int(status) != 0:
        raise RuntimeError("%s exited with status %s" % (argv[0], status))
    return {"wall": int(wall) / 1000.0, "cpu": (int(user) + int(system)) / 1000.0, "rss": int(maxrss) / 1024.0}


TOOL = "peltrak"
TOOL_SYSTEM = "peltrak, Debian's shared OpenCV"
TOOL_BASELINE = "peltrak, another lean OpenCV build"
LOWER = "lower bound (C++, no library)"
LOWER_DURABLE = "lower bound, flushed to disk like peltrak"
MAGICK = "ImageMagick convert"


def programs(args, width, height):
    """(name, argv, output path or None) of every program, in the table's order. The two builds of peltrak
    name their own files, in their own output directories (args.outputs)."""
    raw = "/dev/shm/" + args.block
    pixels_only = raw + ".raw"
    peers = os.path.join(args.work, "peers")
    size = "%dx%d" % (width, height)
    baseline = [(TOOL_BASELINE, [args.peltrak_baseline], None)] if args.peltrak_baseline else []
    return [
        (TOOL, [args.peltrak], None),
    ] + baseline + [
        (TOOL_SYSTEM, [args.peltrak_system], None),
        (LOWER, [args.lower_bound, args.block, os.path.join(peers, "lower.bmp")],
         os.path.join(peers, "lower.bmp")),
        (LOWER_DURABLE, [args.lower_bound, "--durable", args.block, os.path.join(peers, "lower-durable.bmp")],
         os.path.join(peers, "lower-durable.bmp")),
        (MAGICK, [args.convert, "-size", size, "-depth", "8", "bgra:" + pixels_only,
                                 "-type", "TrueColor", "BMP3:" + os.path.join(peers, "magick.bmp")],
         os.path.join(peers, "magick.bmp")),
        ("ffmpeg", [args.ffmpeg, "-nostdin", "-loglevel", "error", "-y", "-f", "rawvideo", "-pix_fmt", "bgra",
                    "-video_size", size, "-skip_initial_bytes", str(PIXEL_OFFSET), "-i", raw, "-frames:v", "1",
                    "-update", "1", "-pix_fmt", "bgr24", os.path.join(peers, "ffmpeg.bmp")],
         os.path.join(peers, "ffmpeg.bmp")),
        ("Python + OpenCV", [args.python, args.python_script, args.block, os.path.join(peers, "python.bmp")],
         os.path.join(peers, "python.bmp")),
        ("empty program + Debian's OpenCV", [args.empty], None),
    ]


def peltrak_output(directory):
    names = [n for n in os.listdir(directory) if n.endswith(".bmp") and not n.startswith(".")]
    if len(names) != 1:
        raise RuntimeError("peltrak left %d files in %s: %s" % (len(names), directory, names))
    return os.path.join(directory, names[0])


def run_size(args, width, height):
    subprocess.run([args.publish, "--name", args.block, "pattern", str(width), str(height), "4"], check=True,
                   stdout=subprocess.DEVNULL)
    expected = block_frame(args.block, width, height)
    # ImageMagick's raw readers cannot skip the block's header, so convert reads a copy of the pixel
    # area on the same tmpfs; ffmpeg and the others read the block itself.
    raw = np.fromfile("/dev/shm/" + args.block, dtype=np.uint8, count=PIXEL_OFFSET + width * height * 4)
    raw[PIXEL_OFFSET:].tofile("/dev/shm/" + args.block + ".raw")
    del raw
    table = programs(args, width, height)
    samples = {name: [] for name, _, _ in table}
    for round_number in range(args.runs + 1):
        shift = round_number % len(table)
        for name, argv, output in table[shift:] + table[:shift]:
            result = measure(args.measure, argv)
            if name in args.outputs:
                output = peltrak_output(args.outputs[name])
            if output is not None:
                check_output(output, expected)
                os.remove(output)
            if round_number > 0:
                samples[name].append(result)
        print("  %dx%d round %d of %d done" % (width, height, round_number, args.runs), file=sys.stderr)
    return table, samples


def median(values):
    return statistics.median(values)


def summarise(width, height, table, samples, baseline_label=None):
    lines = []
    tool = samples[TOOL]
    lower = samples[LOWER]
    lines.append("#### %d x %d, four channels (%d runs)" % (width, height, len(tool)))
    lines.append("")
    lines.append("| Program | Wall ms | CPU ms | Peak RSS MB | Wall / lower bound | Wall / peltrak |")
    lines.append("|---|---:|---:|---:|---:|---:|")
    for name, _, _ in table:
        runs = samples[name]
        to_lower = median([r["wall"] / l["wall"] for r, l in zip(runs, lower)])
        to_tool = median([r["wall"] / t["wall"] for r, t in zip(runs, tool)])
        lines.append("| %s | %.1f | %.1f | %.1f | %.2f | %.2f |" % (
            name, median([r["wall"] for r in runs]), median([r["cpu"] for r in runs]),
            max(r["rss"] for r in runs), to_lower, to_tool))
    lines.append("")
    peers = [MAGICK, "ffmpeg", "Python + OpenCV"]
    fastest = min(peers, key=lambda n: median([r["wall"] for r in samples[n]]))
    speedup = median([p["wall"] / t["wall"] for p, t in zip(samples[fastest], tool)])
    to_lower = median([t["wall"] / l["wall"] for t, l in zip(tool, lower)])
    to_durable = median([t["wall"] / d["wall"] for t, d in zip(tool, samples[LOWER_DURABLE])])
    to_magick = median([t["wall"] / m["wall"] for t, m in zip(tool, samples[MAGICK])])
    to_system = median([t["wall"] / s["wall"] for t, s in zip(tool, samples[TOOL_SYSTEM])])
    frame = width * height
    # The goals: small frames within 12 MB; large ones within the block's pixel pages, one BGR frame
    # and 10 MB.
    rss_limit = 12 if frame <= 640 * 480 else (PIXEL_OFFSET + frame * 4 + frame * 3) / 2 ** 20 + 10
    lines.append("Medians of the paired ratios: peltrak takes %.2f times the lower bound (%.2f times the one "
                 "flushed to disk like peltrak) and %.2f times ImageMagick's time; the build against Debian's "
                 "shared OpenCV takes %.2f times as long as peltrak; the fastest peer (%s) takes %.2f times "
                 "peltrak; peltrak's peak RSS is %.1f MB (goal: at most %.1f MB)."
                 % (to_lower, to_durable, to_magick, 1 / to_system, fastest, speedup,
                    max(t["rss"] for t in tool), rss_limit))
    if TOOL_BASELINE in samples:
        to_baseline = median([t["wall"] / b["wall"] for t, b in zip(tool, samples[TOOL_BASELINE])])
        lines.append("Against another lean OpenCV build (%s): peltrak takes %.2f times its time (median of the "
                     "paired ratios); its peak RSS is %.1f MB." % (baseline_label, to_baseline,
                                                                  max(b["rss"] for b in samples[TOOL_BASELINE])))
        lines.append("")
    return lines


def draw_chart(path, results):
    """One panel per frame size: a bar per program (median wall time), the lower bound as a dashed line."""
    import matplotlib
    matplotlib.use("Agg")
    matplotlib.rcParams["svg.hashsalt"] = "peltrak"  # stable element ids, so that reruns diff cleanly
    import matplotlib.pyplot as plt

    figure, axes = plt.subplots(len(results), 1, figsize=(8, 2.2 + 1.9 * len(results)), squeeze=False)
    for ax, (width, height, table, samples) in zip(axes[:, 0], results):
        names = [name for name, _, _ in table]
        walls = [median([r["wall"] for r in samples[name]]) for name in names]
        colours = ["tab:blue" if name.startswith("peltrak") else "tab:gray" for name in names]
        ax.barh(range(len(names)), walls, color=colours)
        ax.set_yticks(range(len(names)))
        ax.set_yticklabels(names)
        ax.invert_yaxis()
        # Log scale from 1 ms: a 5 ms capture and a one-second script both stay readable.
        ax.set_xscale("log")
        ax.set_xlim(1, max(walls) * 3)
        ax.axvline(median([r["wall"] for r in samples[LOWER]]), color="tab:red", linestyle="--",
                   label="lower bound")
        for y, wall in enumerate(walls):
            ax.annotate("%.0f ms" % wall if wall >= 10 else "%.1f ms" % wall, (wall, y),
                        xytext=(3, 0), textcoords="offset points", va="center", fontsize=8)
        ax.set_title("%d x %d, four channels: median wall time, ms (log scale)" % (width, height), fontsize=10)
        ax.legend(loc="upper right", fontsize=8)
    figure.tight_layout()
    figure.savefig(path, metadata={"Date": None})
    plt.close(figure)


def version(package):
    done = subprocess.run(["dpkg-query", "-W", "-f", "${Version}", package], stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL)
    return done.stdout.decode().strip() or "?"


def machine():
    model = "?"
    with open("/proc/cpuinfo") as info:
        for line in info:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    with open("/sys/kernel/mm/transparent_hugepage/enabled") as thp:
        hugepages = thp.read().strip()
    packages = ["libopencv-imgcodecs406", "imagemagick-6.q16", "ffmpeg", "python3", "python3-opencv",
                "python3-numpy", "g++"]
    return ["Machine: %s, %d cores, Linux %s, transparent huge pages: %s. Measured %s UTC."
            % (model, os.cpu_count(), platform.release(), hugepages,
               datetime.datetime.utcnow().strftime("%Y-%m-%d %H:%M")),
            "",
            "Versions (Debian packages): " + ", ".join("%s %s" % (p, version(p)) for p in packages) + ".",
            ""]


def write_results(path, lines):
    body = "\n".join([TABLE_BEGIN, ""] + lines + [TABLE_END])
    text = ""
    if os.path.exists(path):
        with open(path) as existing:
            text = existing.read()
    if TABLE_BEGIN in text and TABLE_END in text:
        text = text[:text.index(TABLE_BEGIN)] + body + text[text.index(TABLE_END) + len(TABLE_END):]
    else:
        text = "# Capture benchmark\n\n" + body + "\n" + text
    with open(path, "w") as results:
        results.write(text)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    for option in ["peltrak", "peltrak-output", "peltrak-system", "peltrak-system-output", "publish", "lower-bound", "empty", "measure", "convert", "ffmpeg",
                   "python", "python-script", "block", "work", "results"]:
        parser.add_argument("--" + option, required=True)
    parser.add_argument("--chart", help="where to write the SVG chart")
    parser.add_argument("--peltrak-baseline", help="a second peltrak, built against another lean OpenCV tree")
    parser.add_argument("--peltrak-baseline-output", help="its output directory")
    parser.add_argument("--peltrak-baseline-label", default="", help="what its OpenCV build is, for the table")
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--sizes", default="7680x4320,640x480")
    args = parser.parse_args()
    args.outputs = {TOOL: args.peltrak_output, TOOL_SYSTEM: args.peltrak_system_output}
    if args.peltrak_baseline:
        args.outputs[TOOL_BASELINE] = args.peltrak_baseline_output
    if args.runs < 1:
        parser.error("--runs must be at least 1")
    os.makedirs(os.path.join(args.work, "peers"), exist_ok=True)
    lines = machine()
    results = []
    try:
        for size in args.sizes.split(","):
            width, height = (int(v) for v in size.split("x"))
            table, samples = run_size(args, width, height)
            lines += summarise(width, height, table, samples, args.peltrak_baseline_label)
            results.append((width, height, table, samples))
    finally:
        subprocess.run([args.publish, "--name", args.block, "remove"], stdout=subprocess.DEVNULL)
        if os.path.exists("/dev/shm/" + args.block + ".raw"):
            os.remove("/dev/shm/" + args.block + ".raw")
    print("\n".join(lines))
    write_results(args.results, lines)
    if args.chart:
        draw_chart(args.chart, results)


if __name__ == "__main__":
    main()
