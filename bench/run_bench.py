#!/usr/bin/env python3
"""The whole-conversion benchmark of KavroC.

Builds KavroC, the drawing generator and the C floor in a build folder
configured with -DKAVRO_BENCH=ON, generates the drawings (1,000,000 pairs by
default, ETRS89 / UTM zone 32N), and converts them to geo_wgs84 with the
shipped projection list. Every comparison is paired: the two programs run
in turn (A, B, A, B ...) in one call, so that both see the same load on the
machine, and on one processor (--cpu); the table shows the median wall
time of each, the ratio of the medians, and the median of the per-pair
ratios. Peak memory is the largest
resident set of each run, as the kernel reports it to the parent (what
/usr/bin/time -f %M shows).

    python3 bench/run_bench.py --build build-bench [--pairs N] [--runs N]
        [--ogr-runs N] [--no-ogr] [--memory] [--cpu N]

--memory adds the 10,000,000-pair drawings (mixed, and a single Pline of
10,000,000 points) for the peak memory target.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def run(command, stdout_path=None, outputs=(), cpu=None):
    """Runs command once; gives (wall seconds, peak resident KiB, CPU seconds).

    The files in outputs (and stdout_path) are removed before the clock
    starts, so that every program writes its output afresh: none of them
    pays for freeing the blocks of the previous run's output, and none is
    spared it by a truncation done outside its time. cpu, when given, is
    the one processor the program may run on."""
    for path in outputs + ((stdout_path,) if stdout_path else ()):
        try:
            os.remove(path)
        except FileNotFoundError:
            pass
    out = open(stdout_path, "wb") if stdout_path else subprocess.DEVNULL
    try:
        start = time.perf_counter()
        pin = (lambda: os.sched_setaffinity(0, {cpu})) if cpu is not None else None
        process = subprocess.Popen(command, stdout=out, stderr=subprocess.DEVNULL,
                                   preexec_fn=pin)
        _, status, usage = os.wait4(process.pid, 0)
        wall = time.perf_counter() - start
    finally:
        if stdout_path:
            out.close()
    process.returncode = os.waitstatus_to_exitcode(status)
    if process.returncode != 0:
        sys.exit("failed (%d): %s" % (process.returncode, " ".join(command)))
    return wall, usage.ru_maxrss, usage.ru_utime + usage.ru_stime


def paired(a, b, runs, processor):
    """Runs a and b in turn, runs times each, after one warm-up of each, all
    on the one processor given. On a virtual machine one processor may be
    much slower than another (on the machine of the figures in the README,
    by 20% for KavroC and 45% for the C floor): runs left to land where the
    scheduler puts them would compare the processors, not the programs."""
    run(*a, cpu=processor)
    run(*b, cpu=processor)
    times_a, times_b, mem_a, mem_b, cpu_a, cpu_b = [], [], [], [], [], []
    for _ in range(runs):
        for command, times, mem, cpu in ((a, times_a, mem_a, cpu_a), (b, times_b, mem_b, cpu_b)):
            wall, rss, seconds = run(*command, cpu=processor)
            times.append(wall)
            mem.append(rss)
            cpu.append(seconds)
    ratios = [x / y for x, y in zip(times_a, times_b)]
    return {
        "a": statistics.median(times_a),
        "b": statistics.median(times_b),
        "ratio": statistics.median(times_a) / statistics.median(times_b),
        "pair_ratio": statistics.median(ratios),
        "mem_a": max(mem_a),
        "mem_b": max(mem_b),
        "cpu_ratio": statistics.median(cpu_a) / max(statistics.median(cpu_b), 1e-9),
    }


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default=os.path.join(ROOT, "build-bench"))
    parser.add_argument("--pairs", type=int, default=1000000)
    parser.add_argument("--runs", type=int, default=11)
    parser.add_argument("--ogr-runs", type=int, default=3)
    parser.add_argument("--no-ogr", action="store_true")
    parser.add_argument("--memory", action="store_true")
    parser.add_argument("--keep", help="folder for the drawings (default: a temporary one)")
    parser.add_argument("--cpu", type=int, default=min(os.sched_getaffinity(0)),
                        help="the processor every timed run is pinned to (default: the first "
                        "this process may use)")
    args = parser.parse_args()

    subprocess.run(["cmake", "-S", ROOT, "-B", args.build, "-DCMAKE_BUILD_TYPE=Release",
                    "-DKAVRO_BENCH=ON"], check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", args.build, "-j2", "--target", "KavroC",
                    "make_drawing", "c_floor"], check=True, stdout=subprocess.DEVNULL)
    kavro = os.path.join(args.build, "bin", "KavroC")
    generator = os.path.join(args.build, "bench", "make_drawing")
    floor = os.path.join(args.build, "bench", "c_floor")
    projection_list = os.path.join(ROOT, "data", "projections.lst")
    ogr2ogr = shutil.which("ogr2ogr")

    work = args.keep or tempfile.mkdtemp(prefix="kavro-bench-")
    os.makedirs(work, exist_ok=True)

    def drawing(kind, pairs):
        stem = os.path.join(work, "%s-%d" % (kind, pairs))
        if not os.path.exists(stem + ".mif"):
            subprocess.run([generator, kind, str(pairs), stem], check=True)
        return stem

    def kavro_command(stem):
        return ([kavro, "if=" + stem + ".mif", "of=" + stem + "-out.mif", "op=geo_wgs84",
                 "pl=" + projection_list], None, (stem + "-out.mif", stem + "-out.mid"))

    def floor_command(stem):
        return ([floor, stem + ".pairs"], stem + "-floor.txt")

    def ogr_command(stem):
        # The MapInfo driver will not overwrite: the old output goes first.
        target = stem + "-ogr"
        return ([ogr2ogr, "-f", "MapInfo File", "-t_srs", "EPSG:4326", target + ".mif",
                 stem + ".mif"], None, (target + ".mif", target + ".mid"))

    rows = []
    for kind in ("mixed", "points"):
        stem = drawing(kind, args.pairs)
        result = paired(kavro_command(stem), floor_command(stem), args.runs, args.cpu)
        rows.append(("%s %d" % (kind, args.pairs), "C floor", result))
        if ogr2ogr and not args.no_ogr:
            result = paired(ogr_command(stem), kavro_command(stem), args.ogr_runs, args.cpu)
            rows.append(("%s %d" % (kind, args.pairs), "ogr2ogr", result))
    stem = drawing("empty", 0)
    rows.append(("empty", "C floor", paired(kavro_command(stem), floor_command(stem), args.runs, args.cpu)))

    print("%-16s %-26s %10s %10s %7s %9s %8s %11s %11s" % (
        "drawing", "A / B", "A median", "B median", "A/B", "pair A/B", "CPU A/B", "A peak",
        "B peak"))
    for name, peer, r in rows:
        label = "KavroC / C floor" if peer == "C floor" else "ogr2ogr / KavroC"
        print("%-16s %-26s %9.3fs %9.3fs %7.3f %9.3f %8.3f %8.1fMiB %8.1fMiB" % (
            name, label, r["a"], r["b"], r["ratio"], r["pair_ratio"], r["cpu_ratio"],
            r["mem_a"] / 1024, r["mem_b"] / 1024))

    if args.memory:
        print()
        print("%-28s %12s %12s" % ("drawing", "KavroC peak", "vs 1M mixed"))
        base = None
        for kind, pairs in (("mixed", 1000000), ("mixed", 10000000), ("pline", 10000000)):
            stem = drawing(kind, pairs)
            peak = max(run(*kavro_command(stem))[1] for _ in range(3))
            os.remove(stem + "-out.mif")
            base = base or peak
            print("%-28s %9.1fMiB %11.3f" % ("%s %d" % (kind, pairs), peak / 1024, peak / base))

    print()
    print("machine: %s, %d cores; timed runs on processor %d; %s" % (
        cpu_name(), os.cpu_count(), args.cpu, time.strftime("%Y-%m-%d")))
    if not args.keep:
        shutil.rmtree(work)


def cpu_name():
    try:
        with open("/proc/cpuinfo") as info:
            for line in info:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return "unknown"


if __name__ == "__main__":
    main()
